#include "catalog/FindDev.h"
#include "common/ProgramPaths.h"

#include <algorithm>
#include <fstream>

#include "catalog/BleNames.h"
#include "catalog/DeviceList.h"
#include "common/AtomicFile.h"
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

void FindDev::LoadDeviceList() {
    m_bleNamesRead = false;  // read again, from the files of this load, when first asked for

    {
        std::ofstream log(m_programFolder / kUnpackLogPath, std::ios::binary | std::ios::trunc);
        m_lastUnpack = UnpackPackage(m_programFolder / kPackagePath, m_programFolder / kIconsFolder,
                                     log ? &log : nullptr);
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
    const auto path = m_programFolder / kDeviceListPath;
    std::string text;
    if (!ReadFileBytes(path, text, kMaxDeviceListBytes)) {
        m_listLoaded = false;
        m_listError = "cannot read " + path.string();
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
