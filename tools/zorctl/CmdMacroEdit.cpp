// zorctl macro editing: groups and macros added, renamed and removed, events listed, inserted
// and deleted, the loop mode set, all through the macro store with the page's rules. Bad input
// is refused with one line before anything is written.
#include "CmdMacroEdit.h"
#include "Session.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "common/Text.h"
#include "config/DeviceFeature.h"
#include "config/DpiEventCode.h"
#include "control/Operations.h"
#include "macro/MacroEditing.h"
#include "macro/MacroUsage.h"

namespace zor::ctl {
namespace {

bool Position(const std::string& text, int max, int& out) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = ParseLeadingInt(text);
    return out <= max;
}

int Saved(CommandContext& ctx, const MacroResult& r, const std::string& done) {
    if (!r.ok) return Fail(ctx, r.message.empty() ? "the macro library was not changed" : r.message);
    ctx.out << done << '\n';
    return 0;
}

std::string Name(const std::u16string& name) {
    return Utf16ToUtf8(name);
}

bool BadName(const std::string& name) {
    return name.empty() || name.find_first_of("\r\n\t") != std::string::npos;
}

const char* RefusalText(InsertRefusal refusal) {
    switch (refusal) {
        case InsertRefusal::TooManyEvents:
            return "the macro already holds 500 events";
        case InsertRefusal::TooLong:
            return "the macro is too long for the mouse to take another event";
        case InsertRefusal::Recording:
            return "a recording is running";
        default:
            return "no such macro";
    }
}

// Splits off "--name VALUE" options; answers false with a usage problem.
bool TakeOption(std::vector<std::string>& args, const std::string& option, std::string& value,
                std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != option) continue;
        if (i + 1 >= args.size()) {
            problem = option + " needs a value";
            return false;
        }
        value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    return true;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& flag) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == flag) {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool Bound(const MacroRecord& rec) {
    return MacroIsBound(rec);
}

int Events(CommandContext& ctx, const MacroStore& store, const MacroPath& path) {
    const MacroRecord& rec = *store.macro(path.group, path.macro);
    const MacroDeviceBlock& b = rec.device;
    if (ctx.options.json) {
        nlohmann::json events = nlohmann::json::array();
        for (int i = 0; i < b.num; ++i) {
            const auto k = static_cast<std::size_t>(i);
            events.push_back({{"index", i},
                              {"event", EventText(b, i)},
                              {"code", b.macVal[k]},
                              {"state", b.macSta[k]},
                              {"ext", {b.extVal[k][0], b.extVal[k][1]}},
                              {"delay", b.macDly[k]}});
        }
        ctx.out << nlohmann::json{{"group", Name(store.group(path.group)->name)},
                                  {"macro", Name(rec.name)},
                                  {"rptType", b.rptType},
                                  {"macRpt", b.macRpt},
                                  {"events", std::move(events)}}
                       .dump(4)
                << '\n';
        return 0;
    }
    for (int i = 0; i < b.num; ++i) ctx.out << i << "  " << EventText(b, i) << '\n';
    return 0;
}

}  // namespace

std::optional<int> RunMacroEdit(CommandContext& ctx, MacroStore& store, std::vector<std::string> args) {
    const std::string sub = args.empty() ? std::string() : args[0];
    std::string problem;

    if (sub == "add-group") {
        if (args.size() != 2 || BadName(args[1])) return Fail(ctx, "usage: zorctl macro add-group NAME");
        int g = -1;
        const MacroResult r =
            store.NewGroup(static_cast<int>(store.groups().size()), Utf8ToUtf16(args[1]), &g);
        return Saved(ctx, r, "added group " + (r.ok ? Name(store.group(g)->name) : args[1]));
    }
    if (sub == "add") {
        std::string group;
        if (!TakeOption(args, "--group", group, problem)) return Fail(ctx, problem);
        if (args.size() != 2 || group.empty() || BadName(args[1]))
            return Fail(ctx, "usage: zorctl macro add NAME --group GROUP");
        const int g = FindGroupByName(store, group);
        if (g < 0) return Fail(ctx, "no group " + group);
        int m = -1;
        const MacroResult r =
            store.NewMacro(g, static_cast<int>(store.group(g)->macros.size()), Utf8ToUtf16(args[1]), &m);
        return Saved(ctx, r, "added macro " + group + "/" + (r.ok ? Name(store.macro(g, m)->name) : args[1]));
    }
    if (sub == "events") {
        if (args.size() != 2) return Fail(ctx, "usage: zorctl macro events GROUP/NAME [--json]");
        const MacroPath path = FindMacroPath(store, args[1]);
        if (!path.ok()) return Fail(ctx, path.error);
        return Events(ctx, store, path);
    }
    if (sub == "insert" || sub == "delete-event") {
        std::string at;
        if (!TakeOption(args, "--at", at, problem)) return Fail(ctx, problem);
        const bool insert = sub == "insert";
        if (args.size() != (insert ? 3u : 2u) || at.empty())
            return Fail(ctx, insert ? "usage: zorctl macro insert GROUP/NAME --at N EVENT"
                                    : "usage: zorctl macro delete-event GROUP/NAME --at N");
        const MacroPath path = FindMacroPath(store, args[1]);
        if (!path.ok()) return Fail(ctx, path.error);
        const MacroRecord& rec = *store.macro(path.group, path.macro);
        int n = 0;
        const int last = insert ? rec.device.num : rec.device.num - 1;
        if (!Position(at, last, n))
            return Fail(ctx, last < 0 ? "the macro has no events"
                                      : "--at takes a position from 0 to " + std::to_string(last));
        if (!insert) {
            return Saved(ctx, store.DeleteEvent(path.group, path.macro, n),
                         "deleted event " + std::to_string(n) + " of " + args[1]);
        }
        const ParsedEventText parsed = ParseEventText(args[2]);
        if (!parsed.ok) return Fail(ctx, parsed.error);
        const InsertRefusal refusal = CheckInsert(store, path.group, path.macro);
        if (refusal != InsertRefusal::None) return Fail(ctx, RefusalText(refusal));
        if (parsed.event.code == kMacCodeDpi) {
            // The code of the model in use, as the macro page takes it from the loaded model.
            control::CommandSession session(SessionOptions(ctx.options, ctx.err));
            store.SetDpiEventCode(control::ModelDpiEventCode(session));
        }
        return Saved(ctx, store.InsertEvent(path.group, path.macro, n, parsed.event),
                     "inserted " + args[2] + " at " + std::to_string(n) + " of " + args[1]);
    }
    if (sub == "loop") {
        if (args.size() < 3)
            return Fail(ctx, "usage: zorctl macro loop GROUP/NAME until-release|until-click|times N");
        const MacroPath path = FindMacroPath(store, args[1]);
        if (!path.ok()) return Fail(ctx, path.error);
        const MacroRecord& rec = *store.macro(path.group, path.macro);
        std::string_view option;
        std::uint16_t count = rec.device.macRpt == 0 ? 1 : rec.device.macRpt;
        if (args[2] == "until-release" && args.size() == 3) {
            option = kOptCycleUntilRelease;
        } else if (args[2] == "until-click" && args.size() == 3) {
            option = kOptCycleUntilClick;
        } else if (args[2] == "times" && args.size() == 4) {
            int times = 0;
            if (!Position(args[3], static_cast<int>(kRepeatCountMax), times) || times < 1)
                return Fail(ctx, "times takes a count from 1 to 65535");
            option = kOptCycleTimes;
            count = static_cast<std::uint16_t>(times);
        } else {
            return Fail(ctx, "usage: zorctl macro loop GROUP/NAME until-release|until-click|times N");
        }
        return Saved(ctx, store.SetLoopMode(path.group, path.macro, option, count),
                     "loop mode of " + args[1] + " set");
    }
    if (sub == "rename") {
        if (args.size() != 3 || BadName(args[2]))
            return Fail(ctx, "usage: zorctl macro rename GROUP[/NAME] NEWNAME");
        const std::u16string typed = Utf8ToUtf16(args[2]);
        const MacroPath path = FindMacroPath(store, args[1]);
        if (path.ok()) {
            const MacroRecord& rec = *store.macro(path.group, path.macro);
            const auto name = RenamedName(typed, rec.name, MacroNamesExcept(store, path.group, path.macro));
            if (!name) return Fail(ctx, "the macro already has that name");
            if (*name == rec.name) return Fail(ctx, args[2] + " is taken; the macro keeps its name");
            return Saved(ctx, store.RenameMacro(path.group, path.macro, *name), "renamed to " + Name(*name));
        }
        const int g = FindGroupByName(store, args[1]);
        if (g < 0) return Fail(ctx, "no group or macro " + args[1]);
        const auto name = RenamedName(typed, store.group(g)->name, GroupNamesExcept(store, g));
        if (!name) return Fail(ctx, "the group already has that name");
        if (*name == store.group(g)->name) return Fail(ctx, args[2] + " is taken; the group keeps its name");
        return Saved(ctx, store.RenameGroup(g, *name), "renamed to " + Name(*name));
    }
    if (sub == "remove") {
        const bool force = TakeFlag(args, "--force");
        if (args.size() != 2) return Fail(ctx, "usage: zorctl macro remove GROUP[/NAME] [--force]");
        const MacroPath path = FindMacroPath(store, args[1]);
        if (path.ok()) {
            if (Bound(*store.macro(path.group, path.macro)) && !force)
                return Fail(ctx, args[1] + " is bound to mouse keys; --force removes it anyway");
            return Saved(ctx, store.DeleteMacro(path.group, path.macro), "removed " + args[1]);
        }
        const int g = FindGroupByName(store, args[1]);
        if (g < 0) return Fail(ctx, "no group or macro " + args[1]);
        for (const MacroRecord& rec : store.group(g)->macros)
            if (Bound(rec) && !force)
                return Fail(ctx,
                            "a macro of " + args[1] + " is bound to mouse keys; --force removes it anyway");
        return Saved(ctx, store.DeleteGroup(g), "removed group " + args[1]);
    }
    return std::nullopt;
}

}  // namespace zor::ctl
