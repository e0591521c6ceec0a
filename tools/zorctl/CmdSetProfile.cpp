// zorctl set profile: the profile the program shows and edits becomes P, and the mouse is made to
// switch to it (the synchronisation run a choice in the window's profile list starts).
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "control/Operations.h"

namespace zor::ctl {
namespace {

int RunSetProfile(CommandContext& ctx) {
    const auto& args = ctx.options.args;
    if (args.size() != 1 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '2')
        return Fail(ctx, "set profile takes 0, 1 or 2");
    const int profile = args[0][0] - '0';
    const std::string done = Format("profile %d selected", profile);
    if (const auto answer = CallProgram(ctx, "SelectProfile", {profile})) return Answered(ctx, *answer, done);

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const control::OpResult selected =
        control::SelectProfile(session.Model(), session.Scheduler(), session, profile);
    if (!selected.Done()) return Fail(ctx, selected.reason);
    ctx.out << done << '\n';
    return 0;
}

const SetTargetRegistration kSetProfile("profile", "profile P", RunSetProfile);

}  // namespace
}  // namespace zor::ctl
