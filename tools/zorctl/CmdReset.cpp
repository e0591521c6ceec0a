// zorctl reset: the program's factory reset of the selected mouse's model (the factory document,
// the factory power and sensor options, four new profile identifiers), then the whole document
// pushed into the mouse. A missing or damaged factory file changes nothing.
#include <nlohmann/json.hpp>
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"

namespace zor::ctl {
namespace {

int RunReset(CommandContext& ctx) {
    if (!ctx.options.args.empty()) return Fail(ctx, "reset takes no arguments");
    if (const auto answer = CallProgram(ctx, "ResetToFactory", {})) {
        if (const int failed = Answered(ctx, *answer); failed != 0) return failed;
        const nlohmann::json reset = nlohmann::json::parse(answer->text);
        if (ctx.options.json)
            ctx.out << nlohmann::json{{"reset", true}, {"model", reset["model"]}}.dump(4) << '\n';
        else
            ctx.out << "factory settings restored and sent to " << reset["device"].get<std::string>() << '\n';
        return 0;
    }
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    control::RunResult pushed;
    const control::OperationResult reset = session.ResetAndPush(&pushed);
    if (!reset.ok) return Fail(ctx, "factory reset refused, nothing changed: " + reset.error);
    if (const std::string problem = DeliveryProblem(pushed); !problem.empty())
        return Fail(ctx, "factory settings restored in the files, but " + problem);
    if (ctx.options.json)
        ctx.out << nlohmann::json{{"reset", true}, {"model", session.Model().ModelName()}}.dump(4) << '\n';
    else
        ctx.out << "factory settings restored and sent to " << session.Selected()->displayName << '\n';
    return 0;
}

const CommandRegistration kReset("reset", "reset", "restore the factory settings and send them to the mouse",
                                 RunReset);

}  // namespace
}  // namespace zor::ctl
