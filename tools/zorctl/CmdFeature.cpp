// zorctl feature: prints a model's description record and the DPI table of one sensor chip.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "Command.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "config/DeviceFeature.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "feature [--chip N] [--model FOLDER]";
constexpr int kMaxChip = 255;  // the chip number is one byte of the device status

struct FeatureArgs {
    std::string model = "MouseA";
    std::optional<int> chip;
};

int Usage(CommandContext& ctx, const std::string& problem) {
    ctx.err << "zorctl: " << PrintableText(problem) << "\nusage: zorctl " << kUsage << '\n';
    return 2;
}

// Returns 0 when the arguments were understood, else the usage exit code.
int ParseArgs(CommandContext& ctx, FeatureArgs& args) {
    const auto& list = ctx.options.args;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& arg = list[i];
        if ((arg == "--chip" || arg == "--model") && i + 1 >= list.size()) {
            return Usage(ctx, arg + " needs a value");
        }
        if (arg == "--chip") {
            const std::string& value = list[++i];
            const int chip = ParseLeadingInt(value);
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                chip > kMaxChip) {
                return Usage(ctx, "--chip takes a number from 0 to 255, not \"" + value + "\"");
            }
            args.chip = chip;
        } else if (arg == "--model") {
            args.model = list[++i];
            if (args.model.empty() || args.model.find('/') != std::string::npos || args.model == "." ||
                args.model == "..") {
                return Usage(ctx, "--model takes a folder name under res/MouseVarn");
            }
        } else {
            return Usage(ctx, "unknown argument \"" + arg + "\"");
        }
    }
    return 0;
}

std::optional<int> LowestChip(const IniFile& ini) {
    for (int chip = 0; chip <= kMaxChip; ++chip) {
        if (ini.HasSection(Format("Chip%d", chip))) return chip;
    }
    return std::nullopt;
}

template <typename Container>
std::string Joined(const Container& values) {
    std::string text;
    for (const auto& v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

nlohmann::json ToJson(const DeviceFeatureRecord& r, const std::string& model, int chip) {
    nlohmann::json ledModes = nlohmann::json::array();
    for (const auto& [slot, mode] : r.ledModes) ledModes.push_back(mode);
    nlohmann::json table = nlohmann::json::array();
    for (const auto& [line, text] : r.dpiText) {
        table.push_back({{"line", line},
                         {"text", text},
                         {"value", r.dpiDeviceValue.at(line)},
                         {"multiplier", r.dpiMultiplier.at(line)}});
    }
    return {{"model", model},
            {"chip", chip},
            {"ledSwitchEnable", r.ledSwitchEnable},
            {"writeTimes", r.writeTimes},
            {"ledModes", ledModes},
            {"ledModeMask", r.ledModeMask},
            {"dpiStep", r.dpiStep},
            {"dpiMax", r.dpiMax},
            {"dpiLineCount", r.dpiLineCount},
            {"uiDpiGearCount", r.uiDpiGearCount},
            {"remoteFirmwareVersion", r.remoteFirmwareVersion},
            {"remoteCustomVersion", r.remoteCustomVersion},
            {"dongleFirmwareVersion", r.dongleFirmwareVersion},
            {"profileIds", r.profileIds},
            {"keyCount", r.keyCount},
            {"keySlotCount", r.keySlotCount},
            {"keySlots", r.keySlots},
            {"keyDefaults", r.keyDefaults},
            {"extraKeyDefaults", r.extraKeyDefaults},
            {"dpiTable", table}};
}

void PrintText(std::ostream& out, const DeviceFeatureRecord& r, const std::string& model, int chip) {
    out << "Model                " << model << " (chip " << chip << ")\n"
        << "Firmware versions    mouse " << r.remoteFirmwareVersion << ", custom " << r.remoteCustomVersion
        << ", receiver " << r.dongleFirmwareVersion << '\n'
        << "Write times          " << r.writeTimes << '\n'
        << "Profile ids          " << Joined(r.profileIds) << '\n'
        << "Keys                 " << r.keyCount << " of " << r.keySlotCount << " device slots\n"
        << "Key slots            " << Joined(r.keySlots) << '\n'
        << "Key defaults         " << Joined(r.keyDefaults) << '\n'
        << "Extra key defaults   " << Joined(r.extraKeyDefaults) << '\n'
        << "Lighting switch      " << r.ledSwitchEnable << '\n';
    std::string modes;
    for (const auto& [slot, mode] : r.ledModes) modes += (modes.empty() ? "" : " ") + std::to_string(mode);
    out << "Lighting modes       " << modes << Format(" (mask 0x%04X)\n", r.ledModeMask)
        << "DPI gears shown      " << r.uiDpiGearCount << '\n'
        << "DPI step / maximum   " << r.dpiStep << " / " << r.dpiMax << '\n'
        << "DPI table            " << r.dpiLineCount << " lines\n"
        << "  line  label  value  multiplier\n";
    for (const auto& [line, text] : r.dpiText) {
        out << Format("  %4d  %5s  %5d  %d\n", line, text, r.dpiDeviceValue.at(line),
                      r.dpiMultiplier.at(line));
    }
}

int RunFeature(CommandContext& ctx) {
    FeatureArgs args;
    if (int usage = ParseArgs(ctx, args); usage != 0) return usage;

    const std::filesystem::path folder = ctx.options.home / "res" / "MouseVarn" / args.model;
    const std::filesystem::path file = DeviceFeaturePath(folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return Fail(ctx, "no model folder " + folder.string());
    if (!std::filesystem::is_regular_file(file, ec)) return Fail(ctx, "no description file " + file.string());

    // The same check as before any other use of the model: a file zormouse refuses is refused here.
    if (const DescriptionResult check = CheckDeviceFeature(folder); !check.ok())
        return Fail(ctx, check.error);
    const IniFile ini(file);
    int chip = 4;
    if (args.chip) {
        chip = *args.chip;
        if (!ini.HasSection(Format("Chip%d", chip))) {
            return Fail(ctx, Format("no section [Chip%d] in %s", chip, file.string()));
        }
    } else if (auto lowest = LowestChip(ini)) {
        chip = *lowest;
    }

    DeviceFeatureRecord record;
    if (const DescriptionResult read = ReadDeviceFeature(record, folder, chip); !read.ok())
        return Fail(ctx, read.error);

    if (ctx.options.json) {
        // Replace rather than throw on text that is not valid UTF-8 (a damaged file).
        ctx.out
            << ToJson(record, args.model, chip).dump(4, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
    } else {
        PrintText(ctx.out, record, args.model, chip);
    }
    return 0;
}

const CommandRegistration kFeature("feature", kUsage, "print a model's description and DPI table",
                                   RunFeature);

}  // namespace
}  // namespace zor::ctl
