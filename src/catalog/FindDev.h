// The device catalog: loads the BLE name list, unpacks the device list package, reads the device
// list into DeviceEntry records with their product names and tries to match each one.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/PackageUnpacker.h"
#include "device/DeviceEntry.h"

namespace zor {

// Paths relative to the program folder.
inline constexpr std::string_view kIconsFolder = "res/Home/Icons";
inline constexpr std::string_view kPackagePath = "res/Home/Icons/Ndevice.zip";
inline constexpr std::string_view kDeviceListPath = "res/Home/Icons/Ndevice.json";
inline constexpr std::string_view kUnpackLogPath = "res/file_error.txt";
inline constexpr std::string_view kModelsFolder = "res/MouseVarn";
inline constexpr std::size_t kMaxDeviceListBytes = 4u * 1024u * 1024u;

class FindDev {
public:
    // Opens one catalog device; true when it was found. Installed by the device layer.
    using MatchHook = std::function<bool(DeviceEntry&)>;

    explicit FindDev(std::filesystem::path programFolder = ".");

    // Loads the BLE names, unpacks the package (failures go to res/file_error.txt), reads the
    // device list and, for every entry, its product name and whether it is attached. A list that
    // reads cleanly replaces the previous entries; an unreadable one keeps them.
    void LoadDeviceList();

    // Runs the match hook for one entry; false when no hook is installed.
    bool MatchDevice(DeviceEntry& entry);
    void setMatchHook(MatchHook hook) { m_matchHook = std::move(hook); }

    const std::vector<DeviceEntry>& entries() const { return m_entries; }
    std::vector<DeviceEntry>& entries() { return m_entries; }
    // "Mouse", "Keyboard", "Pad", "Headphone", then each further category of the list once.
    const std::vector<std::string>& categories() const { return m_categories; }
    // The BLE device names, comma-separated. The encrypted list is read on the first call after
    // each LoadDeviceList (on the thread that owns the finder): only a Bluetooth connection
    // needs it, and decrypting it starts the crypto library, which costs megabytes.
    // Decrypted when first asked for (that loads the crypto library).
    const std::string& bleNames() const;
    // Whether there is a BLE list to decrypt, without decrypting it.
    bool hasBleList() const;
    const std::filesystem::path& programFolder() const { return m_programFolder; }

    // Outcome of the last load, for diagnostics.
    const UnpackResult& lastUnpack() const { return m_lastUnpack; }
    bool listLoaded() const { return m_listLoaded; }
    const std::string& listError() const { return m_listError; }

    // The feature file of a model folder: res/MouseVarn/<folder>/Config/DeviceFeature.ini.
    std::filesystem::path featureFilePath(const std::string& devFolder) const;

    static std::vector<std::string> InitialCategories();

private:
    void readDeviceList();

    std::filesystem::path m_programFolder;
    MatchHook m_matchHook;
    std::vector<DeviceEntry> m_entries;
    std::vector<std::string> m_categories;
    mutable std::string m_bleNames;
    mutable bool m_bleNamesRead = false;
    UnpackResult m_lastUnpack;
    bool m_listLoaded = false;
    std::string m_listError;
};

}  // namespace zor
