// zorctl devices: the catalog entries matched against the attached devices.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "Session.h"
#include "common/Text.h"

namespace zor::ctl {
namespace {

int RunDevices(CommandContext& ctx) {
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    // No list, no devices to tell of: that is a failure, with its cause, not "Devices: 0".
    if (const FindDev& finder = session.Stack().Finder(); !finder.listLoaded()) {
        const ReadFault package = finder.lastUnpack().fault;
        return Fail(ctx, "cannot read the device list: " +
                             (package != ReadFault::None ? DescribeReadFault(ctx.options.home / kPackagePath,
                                                                             package, kMaxPackageFileBytes)
                                                         : finder.listError()));
    }
    const auto& entries = session.Stack().Entries();
    if (ctx.options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const DeviceEntry& e = entries[i];
            list.push_back({{"index", i},
                            {"name", e.displayName},
                            {"found", e.found},
                            {"matchedName", e.matchedName},
                            {"path", e.devicePath},
                            {"inputOpen", e.inputHandle != nullptr},
                            {"featureOpen", e.featureHandle != nullptr}});
        }
        ctx.out << nlohmann::json{{"devices", list}}.dump(4) << '\n';
        return 0;
    }
    ctx.out << "Devices: " << entries.size() << '\n';
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DeviceEntry& e = entries[i];
        ctx.out << Format("%2u  %s  found: %s", i, e.displayName, e.found ? "yes" : "no");
        if (e.found) ctx.out << "  matched: " << e.matchedName << "  path: " << e.devicePath;
        ctx.out << '\n';
    }
    return 0;
}

const CommandRegistration kDevices("devices", "devices",
                                   "list the catalog's devices, whether each is attached, and its path",
                                   RunDevices);

}  // namespace
}  // namespace zor::ctl
