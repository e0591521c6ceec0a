// zorctl catalog: loads the device catalog of the program folder the way the program does at
// start-up and prints every entry, the category list and the BLE device names.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "Command.h"
#include "catalog/FindDev.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"

namespace zor::ctl {
namespace {

struct IdPair {
    std::string vid;
    std::string pid;
    std::string name;
};

std::string Hex4(std::uint32_t id) {
    return Format("%04X", id);
}

// The id pairs of an entry; a list that is shorter than the other shows "?" for its part.
std::vector<IdPair> IdPairs(const DeviceEntry& entry) {
    std::vector<IdPair> pairs;
    const std::size_t count = std::max(entry.productIds.size(), entry.vendorIds.size());
    for (std::size_t i = 0; i < count; ++i) {
        pairs.push_back({i < entry.vendorIds.size() ? Hex4(entry.vendorIds[i]) : "?",
                         i < entry.productIds.size() ? Hex4(entry.productIds[i]) : "?",
                         i < entry.names.size() ? entry.names[i] : ""});
    }
    return pairs;
}

std::vector<std::string> BleNameList(const std::string& text) {
    return text.empty() ? std::vector<std::string>{} : Split(text, ',');
}

nlohmann::json ToJson(const FindDev& finder) {
    nlohmann::json devices = nlohmann::json::array();
    for (std::size_t i = 0; i < finder.entries().size(); ++i) {
        const DeviceEntry& e = finder.entries()[i];
        nlohmann::json ids = nlohmann::json::array();
        for (const auto& pair : IdPairs(e))
            ids.push_back({{"vid", pair.vid}, {"pid", pair.pid}, {"name", pair.name}});
        devices.push_back({{"index", i},
                           {"name", e.displayName},
                           {"folder", e.devFolder},
                           {"product", e.productName},
                           {"category", e.category},
                           {"ids", ids},
                           {"isUSB", e.isUsb},
                           {"devType", e.devType},
                           {"compareFlag", e.compareFlag},
                           {"devNo", e.devNo},
                           {"images", {e.normalImage, e.hotImage, e.pushedImage}},
                           {"found", e.found}});
    }
    return {{"devices", devices},
            {"categories", finder.categories()},
            {"bleNames", BleNameList(finder.bleNames())}};
}

void PrintText(std::ostream& out, const FindDev& finder) {
    out << "Devices: " << finder.entries().size() << '\n';
    for (std::size_t i = 0; i < finder.entries().size(); ++i) {
        const DeviceEntry& e = finder.entries()[i];
        out << Format("%2u  %s\n", i, e.displayName);
        out << "    folder: " << (e.devFolder.empty() ? "-" : e.devFolder)
            << "   product: " << (e.productName.empty() ? "-" : e.productName) << '\n';
        for (const auto& pair : IdPairs(e))
            out << "    id " << pair.vid << ':' << pair.pid << "  " << pair.name << '\n';
        out << "    isUSB: " << e.isUsb << "   type: " << e.devType
            << "   found: " << (e.found ? "yes" : "no") << '\n';
    }
    out << "Categories: " << Join(finder.categories(), ", ") << '\n';
    const auto names = BleNameList(finder.bleNames());
    out << "BLE names: " << (names.empty() ? "-" : Join(names, ", ")) << '\n';
}

int Run(CommandContext& ctx) {
    if (!ctx.options.args.empty()) {
        ctx.err << "zorctl: unknown argument \"" << PrintableText(ctx.options.args.front())
                << "\"\nusage: zorctl catalog\n";
        return 2;
    }
    FindDev finder(ctx.options.home);
    finder.LoadDeviceList();
    if (const UnpackResult& unpack = finder.lastUnpack(); unpack.fault != ReadFault::None)
        return Fail(
            ctx, "cannot open the device list package: " +
                     DescribeReadFault(ctx.options.home / kPackagePath, unpack.fault, kMaxPackageFileBytes));
    if (finder.lastUnpack().code != 0)
        return Fail(ctx, Format("cannot open the device list package %s (error %d)",
                                paths::DevicePackage(ctx.options.home).string(), finder.lastUnpack().code));
    if (!finder.listLoaded()) return Fail(ctx, "cannot read the device list: " + finder.listError());
    if (finder.lastUnpack().failed > 0)
        ctx.err << "zorctl: warning: " << finder.lastUnpack().failed
                << " item(s) of the package were not unpacked, see "
                << paths::UnpackLog(ctx.options.home).string() << '\n';

    if (ctx.options.json)
        ctx.out << ToJson(finder).dump(4) << '\n';
    else
        PrintText(ctx.out, finder);
    return 0;
}

const CommandRegistration kRegistration("catalog", "catalog",
                                        "list the devices of the catalog, its categories and BLE names", Run);

}  // namespace
}  // namespace zor::ctl
