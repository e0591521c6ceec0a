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
    if (session.Selected() == nullptr) return Fail(ctx, session.NoDeviceText());
    CommandSet& commands = session.Commands();
    const CurrentState state = commands.ReadCurrentState();

    DeviceRequest& r = commands.Request();
    std::vector<std::string> unanswered = state.unanswered;
    auto read = [&](int subOp, const char* what) {
        r.op = kOpProfile;
        r.subOp = subOp;
        if (commands.ReadRequest() == 1 && commands.LastReadReplied()) return true;
        unanswered.emplace_back(what);
        return false;
    };
    const bool profileRead = read(kSubActiveProfile, "active profile");
    const int activeProfile = profileRead ? r.activeProfile : -1;
    const bool idsRead = read(kSubProfileId, "profile identifiers");
    // Values of a read that was not answered are no state of the mouse: nothing is printed.
    if (!unanswered.empty())
        return Fail(ctx, "the mouse gave no valid reply to the read of: " + Join(unanswered, ", "));

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
