// zorctl macro: lists, shows, exports, imports and resets the macro library, and prints the byte
// stream a macro is sent to the mouse as.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "CmdMacroEdit.h"
#include "Command.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "device/MacroStream.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"

namespace zor::ctl {
namespace {

const std::string kUsage =
    std::string("macro list|show G M|export G FILE|import FILE...|reset|stream G M|") + kMacroEditUsage;

int Usage(CommandContext& ctx, const std::string& problem) {
    ctx.err << "zorctl: " << PrintableText(problem) << "\nusage: zorctl " << kUsage << '\n';
    return 2;
}

bool Index(const std::string& text, int& out) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = ParseLeadingInt(text);
    return true;
}

std::string LoopText(const MacroDeviceBlock& b) {
    switch (b.rptType & 0x03) {
        case 1:
            return "while held";
        case 2:
            return "until pressed again";
        default:
            return Format("%u times", b.macRpt);
    }
}

std::string EventText(const MacroDeviceBlock& b, std::size_t i, const MacVkAndText& keys) {
    const std::uint8_t code = b.macVal[i];
    if (code == kMacCodeMove)
        return Format("move %d,%d (quadrant %u)", b.extVal[i][0], b.extVal[i][1], b.macSta[i]);
    if (code == kMacCodeDpi) return Format("DPI code %d", b.extVal[i][0]);
    if (code == kMacCodeLighting) return Format("lighting %u", b.macSta[i]);
    const char* state = b.macSta[i] == kMacStatePress ? "down" : b.macSta[i] == kMacStateRelease ? "up" : "?";
    return keys.UsageToTextUtf8(code) + " " + state;
}

void List(CommandContext& ctx, const MacroStore& store) {
    if (ctx.options.json) {
        nlohmann::json groups = nlohmann::json::array();
        for (const MacroGroup& g : store.groups()) {
            nlohmann::json macros = nlohmann::json::array();
            for (const MacroRecord& m : g.macros) {
                macros.push_back({{"name", Utf16ToUtf8(m.name)},
                                  {"guid", m.guid},
                                  {"events", m.device.num},
                                  {"rptType", m.device.rptType},
                                  {"macRpt", m.device.macRpt},
                                  {"bindKeys", m.bindCount}});
            }
            groups.push_back(
                {{"name", Utf16ToUtf8(g.name)}, {"guid", g.guid}, {"macros", std::move(macros)}});
        }
        ctx.out << groups.dump(4) << '\n';
        return;
    }
    for (std::size_t g = 0; g < store.groups().size(); ++g) {
        const MacroGroup& group = store.groups()[g];
        ctx.out << g << "  " << EscapeControls(Utf16ToUtf8(group.name)) << '\n';
        for (std::size_t m = 0; m < group.macros.size(); ++m) {
            const MacroRecord& rec = group.macros[m];
            ctx.out << "   " << m << "  " << EscapeControls(Utf16ToUtf8(rec.name)) << "  (" << rec.device.num
                    << " events, " << LoopText(rec.device)
                    << (rec.bindCount ? Format(", %u keys", rec.bindCount) : "") << ")\n";
        }
    }
}

int RunMacro(CommandContext& ctx) {
    const auto& a = ctx.options.args;
    if (a.empty()) return Usage(ctx, "macro needs a subcommand");
    MacroStore store;
    MacroResult loaded = store.Load(paths::MacroLibrary(ctx.options.home));
    const std::string& sub = a[0];
    if (!loaded.ok && sub != "reset") return Fail(ctx, "the macro library cannot be read: " + loaded.message);
    if (auto edited = RunMacroEdit(ctx, store, a)) return *edited;
    int g = 0;
    int m = 0;

    if (sub == "list" && a.size() == 1) {
        List(ctx, store);
        return 0;
    }
    if ((sub == "show" || sub == "stream") && a.size() == 3) {
        if (!Index(a[1], g) || !Index(a[2], m))
            return Usage(ctx, "G and M are the numbers of \"zorctl macro list\"");
        const MacroRecord* rec = store.macro(g, m);
        if (rec == nullptr) return Fail(ctx, "no macro " + a[1] + " " + a[2]);
        if (sub == "stream") {
            auto stream = BuildMacroStream(TranslateCodes(rec->device));
            if (!stream) return Fail(ctx, "the macro is too long for the mouse (over 512 bytes)");
            std::string hex;
            for (std::size_t i = 0; i < stream->size(); ++i)
                hex += Format(i % 16 == 15 || i + 1 == stream->size() ? "%02X\n" : "%02X ", (*stream)[i]);
            ctx.out << hex;
            return 0;
        }
        MacVkAndText keys;
        const MacroDeviceBlock& b = rec->device;
        ctx.out << EscapeControls(Utf16ToUtf8(rec->name)) << "  " << EscapeControls(rec->guid) << "  "
                << LoopText(b) << '\n';
        for (std::size_t i = 0; i < b.num; ++i)
            ctx.out << Format("%4d  %-28s %6u ms\n", static_cast<int>(i), EventText(b, i, keys), b.macDly[i]);
        return 0;
    }
    if (sub == "export" && a.size() == 3) {
        if (!Index(a[1], g)) return Usage(ctx, "G is a group number of \"zorctl macro list\"");
        if (store.group(g) == nullptr) return Fail(ctx, "no group " + a[1]);
        const std::filesystem::path target = UserPath(ctx, a[2]);
        if (IsProgramFile(ctx, target))
            return Fail(ctx, "will not write over " + a[2] + ": it is a file of the program folder");
        MacroResult r = store.ExportGroup(g, target);
        if (!r.ok) return Fail(ctx, "cannot write " + a[2] + (r.message.empty() ? "" : ": " + r.message));
        ctx.out << "exported group " << g << " to " << a[2] << '\n';
        return 0;
    }
    if (sub == "import" && a.size() >= 2) {
        std::vector<std::filesystem::path> files;
        for (auto it = a.begin() + 1; it != a.end(); ++it) files.push_back(UserPath(ctx, *it));
        MacroImportOutcome r = store.ImportGroups(files);
        for (const auto& refused : r.refused)
            ctx.err << "zorctl: not a macro group file: " << PrintableText(refused.string()) << '\n';
        if (!r.stoppedAt.empty())
            return Fail(ctx, "not a JSON file: " + r.stoppedAt.string() + "; nothing imported");
        if (!r.error.empty()) return Fail(ctx, r.error);
        ctx.out << "imported " << r.imported << (r.imported == 1 ? " group\n" : " groups\n");
        return r.refused.empty() ? 0 : 1;
    }
    if (sub == "reset" && a.size() == 1) {
        // A library that could not be read is moved aside as ".bad" rather than copied to ".bak".
        const bool unreadable = store.Unreadable();
        MacroResult r = store.Reset(paths::MacroFactory(ctx.options.home));
        if (!r.ok) return Fail(ctx, "reset failed: " + r.message);
        ctx.out << "macro library reset (" << store.groups().size() << " groups); the old one is in "
                << paths::MacroLibrary(ctx.options.home).string() << (unreadable ? ".bad\n" : ".bak\n");
        return 0;
    }
    return Usage(ctx, "unknown macro subcommand or wrong arguments");
}

const CommandRegistration kMacro("macro", kUsage,
                                 "list, show, export, import or reset macros; print a macro's stream",
                                 RunMacro);

}  // namespace
}  // namespace zor::ctl
