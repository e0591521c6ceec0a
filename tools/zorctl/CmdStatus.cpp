// zorctl status: the selected mouse's connection, battery and sensor chip (status read).
#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "Session.h"

namespace zor::ctl {
namespace {

int RunStatus(CommandContext& ctx) {
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    const DeviceEntry* device = session.Selected();
    if (device == nullptr) return Fail(ctx, session.NoDeviceText());
    CommandSet& commands = session.Commands();
    commands.Request().op = kOpStatus;
    if (commands.ReadRequest() != 1 || !commands.LastReadReplied())
        return Fail(ctx, "the mouse gave no valid reply to the status read");

    const DeviceRequest& r = commands.Request();
    const int percent = std::min(r.battery & 0x7F, 100);
    const bool charging = (r.battery & 0x80) != 0;
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"device", device->displayName},
                                  {"connection", r.connectionState},
                                  {"battery", percent},
                                  {"charging", charging},
                                  {"chip", r.chip}}
                       .dump(4)
                << '\n';
        return 0;
    }
    ctx.out << "Device: " << device->displayName << '\n'
            << "Connection: " << r.connectionState << '\n'
            << "Battery: " << percent << "%" << (charging ? " (charging)" : "") << '\n'
            << "Chip: " << r.chip << '\n';
    return 0;
}

const CommandRegistration kStatus("status", "status", "read the mouse's connection, battery and sensor chip",
                                  RunStatus);

}  // namespace
}  // namespace zor::ctl
