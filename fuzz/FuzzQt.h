// The Qt application the skin targets need: widgets exist only under a QApplication. Built once,
// on the offscreen platform, so a fuzz run needs no display.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QWidget>
#include <memory>

#include "FuzzSupport.h"
#include "ui/Controls.h"
#include "ui/Markup.h"
#include "ui/PaintManager.h"

namespace zor::fuzz {

inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "zorfuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Debug lines of the skin library (unknown attributes, missing pictures) would drown the
        // fuzzer's own output.
        qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A window built from skin once for the whole run (building it costs far more than an input);
// each input works on the same window in turn. One per fuzz program.
inline zor::ui::CPaintManagerUI& SkinWindowOnce(const char* skin) {
    struct Built {
        QWidget window;
        zor::ui::CPaintManagerUI pm;
        std::unique_ptr<zor::ui::CControlUI> root;
    };
    static Built* built = [skin] {
        auto* b = new Built;
        zor::ui::CMarkup markup;
        Check(markup.Load(skin), "the fixed skin reads");
        b->pm.Init(&b->window, QStringLiteral("fuzz"));
        b->root.reset(zor::ui::CDialogBuilder().Create(markup, nullptr, &b->pm, &b->window));
        Check(b->root != nullptr, "the fixed skin builds");
        b->pm.AttachDialog(b->root.get());
        return b;
    }();
    return built->pm;
}

}  // namespace zor::fuzz
