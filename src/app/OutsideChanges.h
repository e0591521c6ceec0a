// The user's files that another program may change while zormouse runs (an editor, a sync tool,
// a zorctl that went its own way): the model's MouseConfig.json and description, the macro
// library and Set.ini. Each is watched with inotify (QFileSystemWatcher), and so is its folder:
// an editor's save renames a new file over the watched one, which ends that watch, so the file is
// watched again after every change. A change is taken once the file has been quiet for a moment,
// and one that comes while a run is on the mouse after the run. The program's own saves are no
// change: the document and the macro library remember the stamp of what they last read or wrote,
// and every other save is known by the stamp AtomicFile notes (FileStamp).
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>

#include "common/FileStamp.h"
#include "control/ModelSession.h"

namespace zor::app {

class OutsideChanges : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool()> runOnMouse;  // true while a run is on the mouse
        // The description, or (document true) MouseConfig.json too.
        std::function<void(bool document)> configChanged;
        std::function<void()> macrosChanged;    // the macro library
        std::function<void()> settingsChanged;  // Set.ini
    };
    // settle: how long a file must be quiet before its change is taken.
    OutsideChanges(control::ModelSession& model, std::filesystem::path programFolder, Hooks hooks,
                   int settleMs = 150);

    // Watches the files of the model in use (again after every model load: the folder may be
    // another one, and the document's file was read anew).
    void Watch();
    // A run or a read has ended: a change that came during it is taken now.
    void RunEnded();
    // Takes every change on disk now (the watcher's notice may still be on its way): true when
    // the document's file or the description was changed by another program and so reloaded.
    // While the mouse is busy nothing is read: the change waits for RunEnded.
    bool TakeChanges();

private:
    enum class Kind { Config, Description, Macros, Settings };
    std::map<std::filesystem::path, Kind> Files() const;
    // The stamp the program knows the file by: its own read or write.
    bool Known(const std::filesystem::path& file, Kind kind, const FileStamp& now) const;
    void Rearm();

    control::ModelSession& m_model;
    std::filesystem::path m_root;
    Hooks m_hooks;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    std::map<std::filesystem::path, FileStamp> m_taken;  // the ini files as last taken
    bool m_waitingForRun = false;
};

}  // namespace zor::app
