// zorctl set key: gives one button of a profile a function through the key popup's rules, saves
// the configuration (and the macro library's use counters) and sends the mouse what the key page
// sends: the profile made active when it is not, then the key's write and the profile's new
// identifier.
#include <nlohmann/json.hpp>
#include <ostream>
#include <random>

#include "Command.h"
#include "DeviceSession.h"
#include "common/Text.h"
#include "config/AppFeature.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "macro/MacroUsage.h"
#include "settings/ApplyPipeline.h"
#include "settings/KeyAssign.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "set key --profile P BUTTON FUNCTION";
constexpr int kKindProfile = 2;

int ParseButton(const std::string& text) {
    if (text == "wheel-up") return kWheelUpSlot;
    if (text == "wheel-down") return kWheelDownSlot;
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int slot = ParseLeadingInt(text);
    return slot < kKeySlots ? slot : -1;
}

std::string StatusText(AssignStatus status, int slot) {
    switch (status) {
        case AssignStatus::OnlyOneKey:
            return "button " + std::to_string(slot) +
                   " is the profile's only left click; give another button "
                   "the left click first";
        case AssignStatus::NoMacro:
            return "no such macro in the macro library";
        case AssignStatus::MacroOverBle:
            return "macros cannot be sent over Bluetooth LE";
        case AssignStatus::NotOffered:
            return IsWheelSlot(slot)
                       ? "the wheel takes only the wheel's functions, a macro or a key (see zorctl "
                         "functions)"
                       : "this function is not offered for this button or connection";
        case AssignStatus::NoKey:
            return "that code names no keyboard key";
        case AssignStatus::BadSlot:
            return "no button " + std::to_string(slot);
        case AssignStatus::Assigned:
            break;
    }
    return {};
}

std::uint16_t DrawId() {
    static std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(1, 65535)(generator));
}

int RunSetKey(CommandContext& ctx) {
    auto args = ctx.options.args;
    if (args.empty() || args[0] != "key")
        return Fail(ctx, "set needs what to set: key (usage: zorctl " + std::string(kUsage) + ")");
    args.erase(args.begin());
    int profile = -1;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--profile") {
            if (i + 1 >= args.size()) return Fail(ctx, "--profile needs 0, 1 or 2");
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '0' || v[0] >= '0' + kConfigProfiles)
                return Fail(ctx, "--profile takes 0, 1 or 2, not \"" + v + "\"");
            profile = v[0] - '0';
        } else {
            positional.push_back(args[i]);
        }
    }
    if (profile < 0) return Fail(ctx, "set key needs --profile P");
    if (positional.size() != 2) return Fail(ctx, std::string("usage: zorctl ") + kUsage);
    const int slot = ParseButton(positional[0]);
    if (slot < 0)
        return Fail(ctx,
                    "BUTTON is a key index 0 to 19, wheel-up or wheel-down, not \"" + positional[0] + "\"");

    const std::filesystem::path& home = ctx.options.home;
    KeyFunctionCatalog catalog;
    catalog.LoadFile(home / kLanguageTextPath);
    MacroStore macros;
    macros.Load(home / kMacroLivePath);
    MacVkAndText keys;
    const ParsedFunction parsed = ParseFunction(positional[1], catalog, macros, keys);
    if (!parsed.choice) return Fail(ctx, parsed.error);

    DeviceSession session(ctx.options, ctx.err);
    const DeviceEntry* entry = session.Selected();
    if (entry == nullptr) return Fail(ctx, "no device found");
    const std::filesystem::path folder = home / "res" / "MouseVarn" / entry->devFolder;
    PredefinedMacroLists predefined;
    predefined.Load(home / kShortCutMacPath, home / kOtherKeyMacPath);

    CommandSet& commands = session.Commands();
    DeviceFeatureRecord feature;
    int chip = 0;
    MouseConfigDocument doc;
    ReloadContext context{folder, false, ChipReader(commands), &feature, &chip, &catalog, &macros, &keys};
    const ReloadOutcome reloaded = Reload(doc, context);
    if (!reloaded.load.ok)
        return Fail(ctx, "cannot read " + MouseConfigPath(folder).string() + ": " + reloaded.load.error);
    if (!reloaded.load.found) return Fail(ctx, "no configuration in " + folder.string());
    DeviceModel model = commands.Model();
    model.chip = chip;
    commands.SetModel(model);

    const AppFeature app = LoadAppFeature(home);
    KeyAssignContext assign{
        doc, macros, catalog, keys, {false, ModelHasLighting(app.keySelLedVis != 0, entry->productName)}};
    const AssignStatus status = AssignKey(assign, profile, slot, *parsed.choice);
    if (status != AssignStatus::Assigned) return Fail(ctx, StatusText(status, slot));

    // Saved as the program saves after a run: the document, then where each macro is used.
    const bool profileSwitch = doc.curporfile != profile;
    doc.curporfile = profile;
    const ConfigResult saved = doc.SaveToModel(folder);
    if (!saved.ok) return Fail(ctx, "the configuration was not saved: " + saved.error);
    if (!entry->matchedName.empty()) {
        RebuildMacroUsage(macros, Utf8ToUtf16(entry->matchedName), doc.MacroUses(catalog, keys));
        const MacroResult written = macros.SaveAll();
        if (!written.ok) return Fail(ctx, "the macro library was not saved: " + written.message);
    }

    auto job = [&](int mode, int kind) {
        ApplyJob j;
        j.mode = mode;
        j.kind = kind;
        j.profile = profile;
        j.currentKey = slot;
        j.connectionType = entry->isUsb != 0 ? 1 : 2;
        j.writeTimes = feature.writeTimes;
        j.flags.profileChanged = mode == 1;
        for (int p = 0; p < kProfileCount; ++p) {
            j.settings.profiles[static_cast<std::size_t>(p)] = doc.Profile(p);
            j.settings.profileIds[static_cast<std::size_t>(p)] = doc.ProfileId(p);
        }
        j.settings.power = doc.Power();
        j.draw = DrawId;
        j.predefined = &predefined;
        auto snapshot = std::make_shared<MacroSnapshot>();
        for (const MacroGroup& g : macros.groups())
            for (const MacroRecord& m : g.macros) snapshot->Add(g.guid, m.guid, m.device);
        j.macros = snapshot;
        return j;
    };
    // The pages' profile changes first, as choosing it in the program does.
    if (profileSwitch) {
        ApplyJob select = job(1, kKindProfile);
        RunApply(commands, select);
    }
    ApplyJob edit = job(0, ApplyKindOfSlot(slot));
    const ApplyOutcome outcome = RunApply(commands, edit);
    for (int p : outcome.renewedProfiles) {
        doc.SetProfileId(p, outcome.profileIds[static_cast<std::size_t>(p)]);
        SaveProfileId(folder, p, outcome.profileIds[static_cast<std::size_t>(p)]);
    }

    const doc::KeyAssignment& key = doc.keyTables[static_cast<std::size_t>(profile)].at(SlotName(slot));
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"profile", profile},
                                  {"button", slot},
                                  {"code", key.code},
                                  {"text", key.text}}
                       .dump(4)
                << '\n';
    } else {
        ctx.out << "button " << positional[0] << " of profile " << profile << " set to " << key.text
                << " (code " << key.code << ")\n";
    }
    return 0;
}

const CommandRegistration kSetKey("set", kUsage, "give a button a function, save it and send it to the mouse",
                                  RunSetKey);

}  // namespace
}  // namespace zor::ctl
