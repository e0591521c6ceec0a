// zorctl status: the selected mouse's connection, battery and sensor chip (status read).
#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "Command.h"
#include "ServiceClient.h"
#include "Session.h"

namespace zor::ctl {
namespace {

struct Status {
    std::string device;
    int connection = 0;
    int battery = 0;  // the byte: percent in bits 0-6, charging in bit 7
    int chip = 0;
    // Known only through the running program: the profile its pages and the mouse are on, and
    // the application the profiles per application follow ("" when they are off).
    std::optional<int> activeProfile;
    std::string focusedApplication;
};

int Print(CommandContext& ctx, const Status& s) {
    const int percent = std::min(s.battery & 0x7F, 100);
    const bool charging = (s.battery & 0x80) != 0;
    if (ctx.options.json) {
        nlohmann::json out{{"device", s.device},
                           {"connection", s.connection},
                           {"battery", percent},
                           {"charging", charging},
                           {"chip", s.chip}};
        if (s.activeProfile) out["activeProfile"] = *s.activeProfile;
        if (!s.focusedApplication.empty()) out["focusedApplication"] = s.focusedApplication;
        ctx.out << out.dump(4) << '\n';
        return 0;
    }
    ctx.out << "Device: " << s.device << '\n'
            << "Connection: " << s.connection << '\n'
            << "Battery: " << percent << "%" << (charging ? " (charging)" : "") << '\n'
            << "Chip: " << s.chip << '\n';
    if (s.activeProfile) ctx.out << "Profile: " << *s.activeProfile << '\n';
    if (!s.focusedApplication.empty()) ctx.out << "Focused application: " << s.focusedApplication << '\n';
    return 0;
}

int RunStatus(CommandContext& ctx) {
    if (const auto answer = CallProgram(ctx, "ReadStatus", {})) {
        if (const int failed = Answered(ctx, *answer); failed != 0) return failed;
        const nlohmann::json read = nlohmann::json::parse(answer->text);
        Status status{read["device"].get<std::string>(), read["connection"].get<int>(),
                      read["battery"].get<int>(), read["chip"].get<int>(), std::nullopt,
                      read.value("focusedApplication", std::string())};
        if (const int profile = read.value("activeProfile", -1); profile >= 0) status.activeProfile = profile;
        return Print(ctx, status);
    }
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    const DeviceEntry* device = session.Selected();
    if (device == nullptr) return Fail(ctx, session.NoDeviceText());
    CommandSet& commands = session.Commands();
    commands.Request().op = kOpStatus;
    if (commands.ReadRequest() != 1 || !commands.LastReadReplied())
        return Fail(ctx, "the mouse gave no valid reply to the status read");
    const DeviceRequest& r = commands.Request();
    return Print(ctx, {device->displayName, r.connectionState, r.battery, r.chip, std::nullopt, {}});
}

const CommandRegistration kStatus("status", "status", "read the mouse's connection, battery and sensor chip",
                                  RunStatus);

}  // namespace
}  // namespace zor::ctl
