#include "update/gui/ArchiveUnpack.h"

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

// One line of "tar -tvf": the first character is the entry's type.
std::string CheckListing(const QByteArray& verbose, const QByteArray& names) {
    for (const QByteArray& line : verbose.split('\n')) {
        if (line.isEmpty()) continue;
        if (line[0] != '-' && line[0] != 'd') return "the archive holds links or special files";
    }
    for (const QByteArray& name : names.split('\n')) {
        if (name.isEmpty()) continue;
        if (name.startsWith('/')) return "the archive holds an absolute path: " + name.toStdString();
        for (const QByteArray& step : name.split('/'))
            if (step == "..") return "the archive holds a path that leaves its folder: " + name.toStdString();
    }
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
    if (std::string refused = CheckListing(verbose, names); !refused.empty()) return refused;
    std::error_code ec;
    if (std::filesystem::exists(target, ec)) return target.string() + " exists already";
    if (!std::filesystem::create_directory(target, ec)) return "cannot create " + target.string();
    // An archive whose entries all sit in one folder named like the target is unpacked beside
    // it, so that its folder becomes the target instead of a folder inside it.
    const QByteArray top = QByteArray::fromStdString(target.filename().string());
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
    return {};
}

}  // namespace zor::update
