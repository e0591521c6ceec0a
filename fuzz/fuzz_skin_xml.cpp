// A skin file over arbitrary bytes: the markup reader, then the builder turns the tree into
// controls of a window whose skin folder is empty (so includes and pictures resolve to nothing).
// Whatever the bytes, building must end with a tree that can be laid out, looked up and torn down.
#include <cstdint>
#include <memory>

#include <QWidget>

#include "FuzzQt.h"
#include "FuzzSupport.h"
#include "ui/Controls.h"
#include "ui/Markup.h"
#include "ui/PaintManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    zor::fuzz::QtApp();
    static zor::fuzz::TempFolder skin;
    zor::ui::CPaintManagerUI::SetResourcePath(QString::fromStdString(skin.path().string() + "/"));

    zor::ui::CMarkup markup;
    if (!markup.Load(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)))) {
        zor::fuzz::Check(!markup.LastError().isEmpty(), "a refused skin says why");
        return 0;
    }
    QWidget window;
    zor::ui::CPaintManagerUI pm;
    pm.Init(&window, QStringLiteral("fuzz"));
    std::unique_ptr<zor::ui::CControlUI> root(
        zor::ui::CDialogBuilder().Create(markup, nullptr, &pm, &window));
    if (!root) return 0;
    pm.AttachDialog(root.get());
    root->resize(pm.GetInitSize().boundedTo(QSize(2000, 2000)).expandedTo(QSize(1, 1)));
    for (zor::ui::CControlUI* control : pm.AllControls()) {
        zor::fuzz::Check(control != nullptr, "every registered control exists");
        if (!control->objectName().isEmpty())
            zor::fuzz::Check(pm.FindControl(control->objectName()) != nullptr, "a named control is found");
    }
    (void)pm.FindControl(QPoint(5, 5));
    root.reset();
    return 0;
}
