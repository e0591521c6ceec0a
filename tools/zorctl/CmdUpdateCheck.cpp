// zorctl update-check: asks the update service whether a newer release exists, with the same
// check and the same limits as the program. Exit code: 0 a newer release exists, 1 none,
// 2 the check could not be made (the reason on stderr).
#include <ostream>

#include <nlohmann/json.hpp>

#include "Command.h"
#include "common/Text.h"
#include "update/VersionCheck.h"

namespace zor::ctl {
namespace {

constexpr int kNewer = 0;
constexpr int kNone = 1;
constexpr int kCheckFailed = 2;
// Version texts come from the service and from a file: shown escaped and no longer than this.
constexpr std::size_t kVersionChars = 64;

const char* OutcomeName(update::CheckOutcome outcome) {
    switch (outcome) {
        case update::CheckOutcome::UpdateAvailable:
            return "update";
        case update::CheckOutcome::NoUpdate:
            return "none";
        default:
            return "failed";
    }
}

int RunUpdateCheck(CommandContext& ctx) {
    if (!ctx.options.args.empty()) {
        ctx.err << "zorctl: update-check takes no arguments\n";
        return kCheckFailed;
    }
    const update::CheckResult result = update::CheckForUpdate(ctx.options.home);
    if (ctx.options.json) {
        nlohmann::json out = {{"outcome", OutcomeName(result.outcome)},
                              {"installed", result.installedVersion},
                              {"address", result.address},
                              {"httpStatus", result.httpStatus},
                              {"total", result.total}};
        if (!result.reason.empty()) out["reason"] = result.reason;
        if (result.latest) {
            out["latest"] = {{"version", result.latest->version},
                             {"url", result.latest->url},
                             {"sha256", result.latest->sha256},
                             {"size", result.latest->size}};
        } else if (!result.releaseProblem.empty()) {
            out["releaseProblem"] = result.releaseProblem;
        }
        // ASCII only: a text of the service never reaches the terminal raw, not even in JSON.
        ctx.out << out.dump(4, ' ', true, nlohmann::json::error_handler_t::replace) << '\n';
    }
    switch (result.outcome) {
        case update::CheckOutcome::UpdateAvailable:
            if (!ctx.options.json) {
                const std::string installed = PrintableText(result.installedVersion, kVersionChars);
                ctx.out << "newer release: "
                        << (result.latest ? PrintableText(result.latest->version, kVersionChars)
                                          : "not usable: " + PrintableText(result.releaseProblem))
                        << " (installed " << installed << ", " << result.total << " newer release"
                        << (result.total == 1 ? "" : "s") << ")\n";
            }
            return kNewer;
        case update::CheckOutcome::NoUpdate:
            if (!ctx.options.json)
                ctx.out << "no newer release (installed "
                        << PrintableText(result.installedVersion, kVersionChars) << ")\n";
            return kNone;
        default:
            ctx.err << "zorctl: the update check could not be made: " << PrintableText(result.reason) << '\n';
            return kCheckFailed;
    }
}

const CommandRegistration kUpdateCheck(
    "update-check", "update-check",
    "ask the update service for a newer release (exit 0: newer, 1: none, 2: "
    "no answer)",
    RunUpdateCheck);

}  // namespace
}  // namespace zor::ctl
