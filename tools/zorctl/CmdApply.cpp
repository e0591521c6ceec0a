// zorctl apply: sends the model's configuration document to the selected mouse: everything of
// one profile, or only some keys.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "Session.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/Operations.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "apply [--profile N] [--keys K,K]";

int Usage(CommandContext& ctx, const std::string& problem) {
    ctx.err << "zorctl: " << PrintableText(problem) << "\nusage: zorctl " << kUsage << '\n';
    return 2;
}

bool SmallNumber(const std::string& text, int limit, int& out) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = ParseLeadingInt(text);
    return out < limit;
}

int RunApply(CommandContext& ctx) {
    int profile = -1;
    std::vector<int> keyList;
    const auto& a = ctx.options.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if ((a[i] == "--profile" || a[i] == "--keys") && i + 1 >= a.size())
            return Usage(ctx, a[i] + " needs a value");
        if (a[i] == "--profile") {
            if (!SmallNumber(a[++i], kConfigProfiles, profile))
                return Usage(ctx, "--profile takes 0, 1 or 2");
        } else if (a[i] == "--keys") {
            for (const std::string& item : Split(a[++i], ',')) {
                int key = 0;
                if (!SmallNumber(Trim(item), kKeyCount, key))
                    return Usage(ctx, "--keys takes key numbers 0 to 19");
                keyList.push_back(key);
            }
        } else {
            return Usage(ctx, "unknown argument " + a[i]);
        }
    }

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    const DeviceEntry* entry = session.Selected();
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    if (profile < 0) profile = session.Model().Profile();
    // The document goes out through the pipeline's full write: the power options of the
    // settings file, the keys' macros and the stored rates as every push of the program sends
    // them. Nothing is reported as applied when frames were lost.
    const control::OpResult sent = control::ApplyConfiguration(session.Model(), session, profile, keyList);
    if (!sent.Done()) return Fail(ctx, sent.reason);
    const int writeTimes = session.Commands().Model().writeTimes;
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"profile", profile},
                                  {"keysOnly", !keyList.empty()},
                                  {"writeTimes", writeTimes},
                                  {"complete", true}}
                       .dump(4)
                << '\n';
    } else {
        ctx.out << (keyList.empty() ? "applied profile " : "applied keys of profile ") << profile << " to "
                << entry->displayName << " (each write " << writeTimes << " times)\n";
    }
    return 0;
}

const CommandRegistration kApply("apply", kUsage, "send the configuration document to the mouse", RunApply);

}  // namespace
}  // namespace zor::ctl
