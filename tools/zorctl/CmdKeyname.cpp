// zorctl keyname SCANCODE: the usage and the display name of a scan code in the session's layout.
#include <charconv>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Command.h"
#include "common/Text.h"
#include "macro/MacVkAndText.h"

namespace zor::ctl {
namespace {

// Decimal or 0x-prefixed hexadecimal, up to 0xFFFF (extended codes are 0xE000 + make code).
std::optional<std::uint32_t> ParseScanCode(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFFFF) {
        return std::nullopt;
    }
    return value;
}

int RunKeyname(CommandContext& ctx) {
    if (ctx.options.args.size() != 1) return Fail(ctx, "keyname needs one scan code (decimal or 0x hex)");
    const auto scan = ParseScanCode(ctx.options.args.front());
    if (!scan) {
        return Fail(
            ctx, "not a scan code: '" + ctx.options.args.front() + "' (decimal or 0x hex, at most 0xFFFF)");
    }
    const MacVkAndText names;
    const std::uint8_t usage = MacVkAndText::ScanToUsage(*scan);
    const std::string text = names.ScanToTextUtf8(*scan);
    const std::string layout = names.layout()->description();
    if (ctx.options.json) {
        nlohmann::json out = {{"scanCode", *scan}, {"usage", usage}, {"text", text}, {"layout", layout}};
        if (const auto evdev = MacVkAndText::EvdevFromScanCode(*scan)) out["evdevKeycode"] = *evdev;
        ctx.out << out.dump(4) << '\n';
        return 0;
    }
    ctx.out << Format("scan code: 0x%04X (%u)\n", *scan, *scan);
    ctx.out << (usage == MacVkAndText::kNoUsage ? std::string("usage:     255 (none)\n")
                                                : Format("usage:     %u\n", usage));
    ctx.out << "text:      " << text << '\n';
    ctx.out << "layout:    " << layout << '\n';
    return 0;
}

const CommandRegistration kKeyname("keyname", "keyname SCANCODE",
                                   "the usage and the display name of a scan code (decimal or 0x hex)",
                                   RunKeyname);

}  // namespace
}  // namespace zor::ctl
