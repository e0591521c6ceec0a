// The Qt application the skin targets need: widgets exist only under a QApplication. Built once,
// on the offscreen platform, so a fuzz run needs no display.
#pragma once

#include <QApplication>
#include <QByteArray>

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

}  // namespace zor::fuzz
