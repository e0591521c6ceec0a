// zorctl read: the selected mouse's current state (lighting mode, DPI gear, report rate), its
// active profile and the four profile identifiers.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "Session.h"
#include "common/Text.h"

namespace zor::ctl {
namespace {

int RunRead(CommandContext& ctx) {
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    if (session.Selected() == nullptr) return Fail(ctx, "no device found");
    CommandSet& commands = session.Commands();
    const CurrentState state = commands.ReadCurrentState();

    DeviceRequest& r = commands.Request();
    r.op = kOpProfile;
    r.subOp = kSubActiveProfile;
    const bool profileRead = commands.ReadRequest() == 1;
    const int activeProfile = profileRead ? r.activeProfile : -1;
    r.subOp = kSubProfileId;
    const bool idsRead = commands.ReadRequest() == 1;
    if (!profileRead && !idsRead && state.currentGear < 0) return Fail(ctx, "the mouse did not answer");

    if (ctx.options.json) {
        nlohmann::json ids = nlohmann::json::array();
        if (idsRead) {
            for (auto id : r.profileIds) ids.push_back(id);
        }
        ctx.out << nlohmann::json{{"lightingSlot", state.lightingSlot},
                                  {"lightingParam2", state.lightingParam2},
                                  {"currentGear", state.currentGear},
                                  {"reportRateIndex", state.reportRateIndex},
                                  {"activeProfile", activeProfile},
                                  {"profileIds", ids}}
                       .dump(4)
                << '\n';
        return 0;
    }
    ctx.out << "Lighting slot: " << state.lightingSlot << '\n'
            << "DPI gear: " << state.currentGear << '\n'
            << "Report rate: " << state.reportRateIndex << '\n'
            << "Active profile: " << activeProfile << '\n'
            << "Profile ids:";
    if (idsRead) {
        for (auto id : r.profileIds) ctx.out << ' ' << id;
    } else {
        ctx.out << " -";
    }
    ctx.out << '\n';
    return 0;
}

const CommandRegistration kRead("read", "read",
                                "read the mouse's current state, active profile and profile identifiers",
                                RunRead);

}  // namespace
}  // namespace zor::ctl
