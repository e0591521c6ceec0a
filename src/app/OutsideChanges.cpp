#include "app/OutsideChanges.h"

#include <set>

#include "common/Debug.h"
#include "common/ProgramPaths.h"

namespace zor::app {
namespace {

// An ini file of the installation is written to its overlay in the user's folder: that is the
// file another program changes.
std::filesystem::path WrittenIni(const std::filesystem::path& file) {
    if (auto overlay = paths::OverlayOf(file)) return overlay->file;
    return file;
}

QString Text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

OutsideChanges::OutsideChanges(control::ModelSession& model, std::filesystem::path programFolder, Hooks hooks,
                               int settleMs)
    : m_model(model), m_root(std::move(programFolder)), m_hooks(std::move(hooks)) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { TakeChanges(); });
    auto changed = [this](const QString&) { m_settle.start(); };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
}

std::map<std::filesystem::path, OutsideChanges::Kind> OutsideChanges::Files() const {
    return {{paths::MouseConfig(m_model.ModelFolder()), Kind::Config},
            {WrittenIni(paths::ModelDescription(m_model.ModelFolder())), Kind::Description},
            {paths::MacroLibrary(m_root), Kind::Macros},
            {WrittenIni(paths::SetIni(m_root)), Kind::Settings}};
}

void OutsideChanges::Watch() {
    const auto files = Files();
    std::set<QString> wanted;
    for (const auto& [file, kind] : files) {
        if (!m_taken.contains(file)) m_taken[file] = StampOf(file);
        wanted.insert(Text(file));
        wanted.insert(Text(file.parent_path()));
    }
    // The files of a model no longer in use are let go.
    for (const QString& path : m_watcher.files() + m_watcher.directories())
        if (!wanted.contains(path)) m_watcher.removePath(path);
    Rearm();
}

void OutsideChanges::Rearm() {
    const QStringList files = m_watcher.files();
    const QStringList folders = m_watcher.directories();
    std::error_code ec;
    for (const auto& [file, kind] : Files()) {
        if (!files.contains(Text(file)) && std::filesystem::exists(file, ec)) m_watcher.addPath(Text(file));
        const std::filesystem::path folder = file.parent_path();
        if (!folders.contains(Text(folder)) && std::filesystem::is_directory(folder, ec))
            m_watcher.addPath(Text(folder));
    }
}

void OutsideChanges::RunEnded() {
    if (!m_waitingForRun) return;
    m_waitingForRun = false;
    TakeChanges();
}

bool OutsideChanges::Known(const std::filesystem::path& file, Kind kind, const FileStamp& now) const {
    if (const auto taken = m_taken.find(file); taken != m_taken.end() && taken->second == now) return true;
    if (WrittenHere(file) == now) return true;
    if (kind == Kind::Config) return m_model.doc.StampedFile() == file && m_model.doc.Stamp() == now;
    if (kind == Kind::Macros) return m_model.macros.Stamp() == now;
    return false;
}

bool OutsideChanges::TakeChanges() {
    if (m_taken.empty()) return false;  // no model loaded yet: nothing was read to compare with
    if (m_hooks.runOnMouse && m_hooks.runOnMouse()) {
        // The device worker uses the model: the run's own save comes first, the change after it.
        m_waitingForRun = true;
        return false;
    }
    bool config = false;
    bool document = false;
    bool macros = false;
    bool settings = false;
    for (const auto& [file, kind] : Files()) {
        const FileStamp now = StampOf(file);
        // A file that is gone brings nothing to read: the program keeps what it has, and its
        // next save writes the file again.
        if (!now.exists || Known(file, kind, now)) {
            m_taken[file] = now;
            continue;
        }
        DebugF("%s was changed by another program: read again\n", file.string());
        m_taken[file] = now;
        (kind == Kind::Macros ? macros : kind == Kind::Settings ? settings : config) = true;
        if (kind == Kind::Config) document = true;
    }
    // The library first: the document's macro labels are made from it.
    if (macros && m_hooks.macrosChanged) m_hooks.macrosChanged();
    if (config && m_hooks.configChanged) m_hooks.configChanged(document);
    if (settings && m_hooks.settingsChanged) m_hooks.settingsChanged();
    Rearm();
    return config;
}

}  // namespace zor::app
