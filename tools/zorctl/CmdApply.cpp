// zorctl apply: sends the model's configuration document to the selected mouse: everything of
// one profile, or only some keys.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "Command.h"
#include "DeviceSession.h"
#include "common/Text.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "settings/PowerOptions.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "apply [--profile N] [--keys K,K]";

int Usage(CommandContext& ctx, const std::string& problem) {
    ctx.err << "zorctl: " << problem << "\nusage: zorctl " << kUsage << '\n';
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

    DeviceSession session(ctx.options, ctx.err);
    const DeviceEntry* entry = session.Selected();
    if (entry == nullptr) return Fail(ctx, "no device found");
    const std::filesystem::path folder = ctx.options.home / "res" / "MouseVarn" / entry->devFolder;

    KeyFunctionCatalog catalog;
    catalog.LoadFile(ctx.options.home / kLanguageTextPath);
    MacroStore macros;
    macros.Load(ctx.options.home / kMacroLivePath);
    PredefinedMacroLists predefined;
    predefined.Load(ctx.options.home / kShortCutMacPath, ctx.options.home / kOtherKeyMacPath);
    MacVkAndText keys;

    // The program's reload: the mouse's chip chooses the DPI table, then the document with its
    // texts, macro labels and (when never drawn) profile identifiers.
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

    // zorctl talks over HID links only, so macro assignments are sent as they are.
    MacroLibraryView library(macros);
    // The power and sensor options are the program's preferences, not part of the document.
    doc.SetPower(PowerOptions(ctx.options.home / "res" / "Set.ini").Device());
    commands.SetSettings(&doc);
    commands.SetMacroSources(&predefined, &library);
    if (profile < 0) profile = doc.curporfile;
    if (!keyList.empty()) {
        commands.keyList = keyList;
        commands.keysOnly = true;
    }
    const int result = commands.ApplyAll(profile);
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"profile", profile},
                                  {"keysOnly", !keyList.empty()},
                                  {"writeTimes", commands.Model().writeTimes},
                                  {"complete", result == 1}}
                       .dump(4)
                << '\n';
    } else {
        ctx.out << (keyList.empty() ? "applied profile " : "applied keys of profile ") << profile << " to "
                << entry->displayName << " (each write " << commands.Model().writeTimes << " times)\n";
    }
    return result == 1 ? 0 : Fail(ctx, "some frames did not reach the mouse");
}

const CommandRegistration kApply("apply", kUsage, "send the configuration document to the mouse", RunApply);

}  // namespace
}  // namespace zor::ctl
