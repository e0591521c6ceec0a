// zorctl config: shows, exports, imports and resets a model's configuration document.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "Command.h"
#include "ServiceClient.h"
#include "catalog/DeviceList.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "config/ConfigExchange.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "control/Operations.h"
#include "device/KeyCode.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "config show|export FILE|import FILE|reset [--model FOLDER]";

int Usage(CommandContext& ctx, const std::string& problem) {
    ctx.err << "zorctl: " << PrintableText(problem) << "\nusage: zorctl " << kUsage << '\n';
    return 2;
}

void Show(CommandContext& ctx, MouseConfigDocument& doc) {
    if (ctx.options.json) {
        ctx.out << doc.ToJson().dump(4) << '\n';
        return;
    }
    ctx.out << "Current profile: " << doc.currentProfile << "  (ver " << doc.ver << ")\n";
    for (int p = 0; p < kConfigProfiles; ++p) {
        const auto& a = doc.adv[static_cast<std::size_t>(p)];
        ctx.out << "\nProfile " << p << "\n  keys:";
        for (int s = 0; s < kKeySlots; ++s) {
            const doc::KeyAssignment& k = doc.keyTables[static_cast<std::size_t>(p)][SlotName(s)];
            if (k.code == 0 && s >= doc.keyCount && s != 16 && s != 17) continue;
            ctx.out << "\n    " << s << ": " << k.code << " " << EscapeControls(k.text);
        }
        ctx.out << "\n  DPI gears (current " << a.cruseldpi << "):";
        for (std::size_t g = 0; g < a.gears.size(); ++g) {
            ctx.out << ' ' << a.gears[g].value << (a.gears[g].enabled ? "" : "(off)")
                    << Format("#%06X", a.gears[g].colour & 0xFFFFFF);
        }
        ctx.out << "\n  report rate: usb " << a.rateusbvalue << ", receiver " << a.ratedonglevalue << ", ble "
                << a.rateblevalue << "; fire " << a.firevalue;
        const auto& modes = doc.led[static_cast<std::size_t>(p)];
        const int mode = modes[0].curselmode;
        ctx.out << "\n  lighting mode " << mode;
        if (mode >= 0 && mode < kLedModes) {
            const auto& m = modes[static_cast<std::size_t>(mode)];
            ctx.out << ": brightness " << m.brightnessvalue << ", speed " << m.frequencyvalue
                    << ", direction " << m.directionsel;
        }
        ctx.out << '\n';
    }
}

int RunConfig(CommandContext& ctx) {
    std::vector<std::string> args;
    std::string model = "MouseA";
    const auto& list = ctx.options.args;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == "--model") {
            if (i + 1 >= list.size()) return Usage(ctx, "--model needs a folder name");
            model = list[++i];
            if (model.empty() || model.find('/') != std::string::npos || model == "." || model == "..")
                return Usage(ctx, "--model takes a folder name under res/MouseVarn");
        } else {
            args.push_back(list[i]);
        }
    }
    if (args.empty()) return Usage(ctx, "config needs a subcommand");
    const std::string& sub = args[0];
    const std::filesystem::path folder = ctx.options.home / "res" / "MouseVarn" / model;
    if (!std::filesystem::is_directory(folder)) return Fail(ctx, "no model folder " + folder.string());
    if (sub == "show" && args.size() == 1) {
        DeviceFeatureRecord feature;
        LoadDeviceFeature(feature, folder, 0);
        MouseConfigDocument doc;
        doc.SetDeviceFacts(feature);
        ConfigResult r = doc.Load(folder);
        if (!r.ok) return Fail(ctx, "cannot read " + MouseConfigPath(folder).string() + ": " + r.error);
        if (!r.found) return Fail(ctx, "no configuration in " + folder.string());
        KeyFunctionCatalog catalog;
        catalog.LoadFile(ctx.options.home / kLanguageTextPath);
        MacroStore macros;
        macros.Load(paths::MacroLibrary(ctx.options.home));
        MacVkAndText keys;
        doc.FillKeyTexts(catalog);
        doc.RefreshMacroLabels(macros, catalog, keys);
        Show(ctx, doc);
        return 0;
    }
    if (sub == "export" && args.size() == 2) {
        const std::filesystem::path target = UserPath(ctx, args[1]);
        if (IsProgramFile(ctx, target))
            return Fail(ctx, "will not write over " + args[1] + ": it is a file of the program folder");
        const std::string done = "exported to " + args[1];
        if (const auto answer = CallProgram(ctx, "ExportConfiguration", {model, target.string()}, false))
            return Answered(ctx, *answer, done);
        const control::OpResult r = control::ExportConfiguration(folder, target);
        if (!r.Done()) return Fail(ctx, r.reason);
        ctx.out << done << '\n';
        return 0;
    }
    if (sub == "import" && args.size() == 2) {
        const std::string done = "imported " + args[1] + " (run \"zorctl apply\" to send it to the mouse)";
        if (const auto answer =
                CallProgram(ctx, "ImportConfiguration", {model, UserPath(ctx, args[1]).string()}, false))
            return Answered(ctx, *answer, done);
        const control::OpResult r =
            control::ImportConfiguration(ctx.options.home, folder, UserPath(ctx, args[1]));
        if (!r.Done()) return Fail(ctx, r.reason);
        ctx.out << done << '\n';
        return 0;
    }
    if (sub == "reset" && args.size() == 1) {
        // The program's factory reset of that model, without a mouse to push it to: the new profile
        // identifiers make the next synchronisation send it.
        control::ModelSession session(ctx.options.home);
        session.LoadSources();
        DeviceEntry entry;
        entry.devFolder = model;
        session.LoadModel(&entry, false, [] { return 0; });
        const control::OpResult r = control::ResetToFactory(session, nullptr);
        if (!r.Done()) return Fail(ctx, "factory reset refused, nothing changed: " + r.reason);
        ctx.out << "configuration reset to the factory state\n";
        return 0;
    }
    return Usage(ctx, "unknown config subcommand or wrong arguments");
}

const CommandRegistration kConfig("config", kUsage,
                                  "show, export, import or reset the configuration document", RunConfig);

}  // namespace
}  // namespace zor::ctl
