#include "update/gui/ArchiveUnpack.h"

#include <QList>
#include <QProcess>
#include <QStringList>

namespace zor::update {
namespace {

constexpr int kTarTimeoutMs = 120000;

bool RunTar(const QStringList& arguments, QByteArray& out, std::string& error) {
    QProcess tar;
    tar.start(QStringLiteral("tar"), arguments);
    if (!tar.waitForStarted(10000)) {
        error = "tar could not be started";
        return false;
    }
    if (!tar.waitForFinished(kTarTimeoutMs)) {
        tar.kill();
        tar.waitForFinished();
        error = "tar did not finish";
        return false;
    }
    out = tar.readAllStandardOutput();
    if (tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        error = "tar failed: " + tar.readAllStandardError().trimmed().toStdString();
        return false;
    }
    return true;
}

QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

// One line of "tar -tvf" per entry, the first character its type; "tar -tf" the same entries'
// names in the same order. A release is a folder: an archive that is empty, holds one lone file,
// or holds a file where the release folder (named like top) belongs is no release.
std::string CheckListing(const QByteArray& verbose, const QByteArray& names, const QByteArray& top) {
    const QList<QByteArray> types = Lines(verbose);
    const QList<QByteArray> paths = Lines(names);
    if (types.size() != paths.size()) return "the archive's listing cannot be read";
    if (paths.isEmpty()) return "the archive is empty";
    int files = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const char type = types[i][0];
        const QByteArray& name = paths[i];
        if (type != '-' && type != 'd') return "the archive holds links or special files";
        if (name.startsWith('/')) return "the archive holds an absolute path: " + name.toStdString();
        for (const QByteArray& step : name.split('/'))
            if (step == "..") return "the archive holds a path that leaves its folder: " + name.toStdString();
        if (type == '-' && name == top)
            return "the archive holds a file where the release folder belongs: " + name.toStdString();
        if (type == '-') ++files;
    }
    if (files == 1 && paths.size() == 1) return "the archive holds a single file, not a release folder";
    return {};
}

}  // namespace

std::string UnpackArchive(const std::filesystem::path& archive, const std::filesystem::path& target) {
    const QString file = QString::fromStdString(archive.string());
    std::string error;
    QByteArray verbose;
    QByteArray names;
    if (!RunTar({QStringLiteral("-tvf"), file}, verbose, error) ||
        !RunTar({QStringLiteral("-tf"), file}, names, error))
        return error;
    const QByteArray top = QByteArray::fromStdString(target.filename().string());
    if (std::string refused = CheckListing(verbose, names, top); !refused.empty()) return refused;
    std::error_code ec;
    if (std::filesystem::exists(target, ec)) return target.string() + " exists already";
    if (!std::filesystem::create_directory(target, ec)) return "cannot create " + target.string();
    // An archive whose entries all sit in one folder named like the target is unpacked beside
    // it, so that its folder becomes the target instead of a folder inside it.
    bool wrapped = true;
    for (const QByteArray& name : names.split('\n'))
        if (!name.isEmpty() && name != top && name != top + '/' && !name.startsWith(top + '/'))
            wrapped = false;
    const std::filesystem::path into = wrapped ? target.parent_path() : target;
    QByteArray ignored;
    if (!RunTar({QStringLiteral("-xf"), file, QStringLiteral("-C"), QString::fromStdString(into.string()),
                 QStringLiteral("--no-same-owner"), QStringLiteral("--no-same-permissions")},
                ignored, error)) {
        std::filesystem::remove_all(target, ec);
        return error;
    }
    // What was unpacked must be the release folder, whatever tar made of the entries.
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(target, ec))) {
        std::filesystem::remove_all(target, ec);
        return "the archive did not unpack into a release folder";
    }
    return {};
}

}  // namespace zor::update
