// A language file over arbitrary bytes (UTF-16LE with BOM or UTF-8): loaded, its texts looked up
// the way the main window asks, and its Controls list applied to a window with one control of
// each kind it sizes (built once; the lists of all inputs are applied to it in turn).
#include <cstdint>
#include <memory>

#include <QWidget>

#include "FuzzQt.h"
#include "FuzzSupport.h"
#include "ui/Controls.h"
#include "ui/Language.h"
#include "ui/Markup.h"
#include "ui/PaintManager.h"

namespace {

constexpr const char* kWindow =
    "<Window size=\"400,300\"><Container name=\"root\">"
    "<Label name=\"lab\" float=\"true\" pos=\"0,0,20,20\" text=\"label\"/>"
    "<Option name=\"opt\" float=\"true\" pos=\"20,0,40,20\"/>"
    "<Button name=\"btn\" float=\"true\" pos=\"40,0,60,20\"/>"
    "<Edit name=\"edt\" float=\"true\" pos=\"60,0,80,20\"/>"
    "</Container></Window>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    zor::fuzz::QtApp();
    static zor::fuzz::TempFolder temp;
    zor::ui::CPaintManagerUI::SetResourcePath(QString::fromStdString(temp.path().string() + "/"));
    const auto file = temp.path() / "lan_fz.ini";
    zor::fuzz::WriteBytes(file, data, size);

    zor::ui::LanguageFile language;
    zor::fuzz::Check(language.Load(file), "a written language file loads");
    (void)language.WindowName();
    (void)language.FontName();
    for (const QString& section : zor::ui::LanguageFile::TextSections()) {
        for (const auto& [id, text] : language.Section(section)) {
            const auto found = language.Find(section, id);
            zor::fuzz::Check(found.has_value(), "every id of a section is found in it");
        }
    }
    for (int page = 0; page < 2; ++page) {
        (void)zor::ui::QueryLanguageText(language, QStringLiteral("lab"), page, true);
        (void)zor::ui::QueryLanguageText(language, QStringLiteral("btn_tip"), page, false);
    }

    zor::ui::CPaintManagerUI& pm = zor::fuzz::SkinWindowOnce(kWindow);
    zor::ui::ApplyControlsList(pm, language.Controls());
    return 0;
}
