// A page layout file over arbitrary bytes: read, then applied to a page with a container and one
// control of each kind the layouts place (built once), so that positions, visibility and picture
// cuts run.
#include <cstdint>
#include <memory>

#include <QWidget>

#include "FuzzQt.h"
#include "FuzzSupport.h"
#include "ui/Controls.h"
#include "ui/Markup.h"
#include "ui/PaintManager.h"
#include "ui/PositionLayout.h"

namespace {

constexpr const char* kPage =
    "<Window size=\"400,300\"><Container name=\"page\">"
    "<Button name=\"btn\" float=\"true\" pos=\"0,0,20,20\"/>"
    "<Option name=\"opt\" float=\"true\" pos=\"20,0,40,20\"/>"
    "<Label name=\"lab\" float=\"true\" pos=\"40,0,60,20\"/>"
    "<Combo name=\"cmb\" float=\"true\" pos=\"60,0,80,20\"/>"
    "<Slider name=\"sld\" float=\"true\" pos=\"0,30,100,40\"/>"
    "</Container></Window>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    zor::fuzz::QtApp();
    static zor::fuzz::TempFolder temp;
    zor::ui::CPaintManagerUI::SetResourcePath(QString::fromStdString(temp.path().string() + "/"));
    const auto file = temp.path() / "page.json";
    zor::fuzz::WriteBytes(file, data, size);

    zor::ui::PositionLayout layout;
    const auto result = layout.LoadFile(file);
    zor::fuzz::Check(result != zor::ui::PositionLayout::LoadResult::CannotOpen, "a written file opens");
    if (result == zor::ui::PositionLayout::LoadResult::JsonError)
        zor::fuzz::Check(!layout.LastError().isEmpty(), "a refused layout says why");
    (void)layout.ControlNames();

    zor::ui::CPaintManagerUI& pm = zor::fuzz::SkinWindowOnce(kPage);
    (void)layout.Apply(pm);
    return 0;
}
