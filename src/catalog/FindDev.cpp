#include "catalog/FindDev.h"
#include "common/ProgramPaths.h"

#include <algorithm>
#include <sstream>

#include "catalog/BleNames.h"
#include "catalog/DeviceList.h"
#include "common/AtomicFile.h"
#include "common/DataFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"

namespace zor {

FindDev::FindDev(std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder)), m_categories(InitialCategories()) {}

std::vector<std::string> FindDev::InitialCategories() {
    return {"Mouse", "Keyboard", "Pad", "Headphone"};
}

bool FindDev::MatchDevice(DeviceEntry& entry) {
    return m_matchHook ? m_matchHook(entry) : false;
}

std::filesystem::path FindDev::featureFilePath(const std::string& devFolder) const {
    return paths::ModelDescription(paths::ModelFolder(m_programFolder, devFolder));
}

const std::string& FindDev::bleNames() const {
    if (!m_bleNamesRead) {
        m_bleNames = LoadBleNames(m_programFolder);
        m_bleNamesRead = true;
    }
    return m_bleNames;
}

bool FindDev::hasBleList() const {
    return m_bleNamesRead ? !m_bleNames.empty() : BleListPresent(m_programFolder);
}

void FindDev::LoadDeviceList() {
    m_bleNamesRead = false;  // read again, from the files of this load, when first asked for

    {
        // A device list that does not parse never replaces the one unpacked before: the mouse
        // would no longer be found.
        const std::filesystem::path listPath = paths::DeviceList(m_programFolder);
        const UnpackItemCheck acceptItem = [listPath](const std::filesystem::path& target,
                                                      std::string_view data) {
            if (target.lexically_normal() != listPath.lexically_normal()) return true;
            const DeviceListResult parsed = ParseDeviceList(data);
            if (!parsed.ok)
                DebugLine("the package's device list is damaged (" + parsed.error +
                          "): kept the previous one\n");
            return parsed.ok;
        };
        // The log is written whole once the unpack is done, the way every file of the program is:
        // a link in its place is replaced, never written through.
        std::ostringstream log;
        // The package is the installation's; what it unpacks to is the user's.
        const std::filesystem::path unpackFolder = paths::UnpackFolder(m_programFolder);
        std::error_code ec;
        std::filesystem::create_directories(unpackFolder, ec);
        m_lastUnpack =
            UnpackPackage(paths::DevicePackage(m_programFolder), unpackFolder, &log, {}, acceptItem);
        std::string error;
        if (!WriteFileAtomic(paths::UnpackLog(m_programFolder), log.str(), &error)) DebugLine(error + "\n");
    }

    // The list is read whether or not the package could be unpacked: the files of an earlier
    // unpack are still there.
    readDeviceList();

    for (auto& entry : m_entries) {
        entry.productName = entry.devFolder.empty()
                                ? std::string()
                                : IniFile(featureFilePath(entry.devFolder)).GetString("Init", "PRODUCTNAME");
        entry.found = MatchDevice(entry);
    }
}

void FindDev::readDeviceList() {
    const auto path = paths::DeviceList(m_programFolder);
    std::string text;
    if (const ReadFault fault = ReadDataFile(path, text, kMaxDeviceListBytes); fault != ReadFault::None) {
        m_listLoaded = false;
        m_listError = DescribeReadFault(path, fault, kMaxDeviceListBytes);
        DebugLine(m_listError + "\n");
        return;
    }
    auto parsed = ParseDeviceList(text);
    if (!parsed.ok) {
        m_listLoaded = false;
        m_listError = path.string() + ": " + parsed.error;
        DebugLine(m_listError + "\n");
        return;
    }
    m_listLoaded = true;
    m_listError.clear();
    m_entries = std::move(parsed.entries);
    m_categories = InitialCategories();
    for (const auto& entry : m_entries) {
        if (entry.category.empty()) continue;
        if (std::find(m_categories.begin(), m_categories.end(), entry.category) == m_categories.end())
            m_categories.push_back(entry.category);
    }
}

}  // namespace zor
