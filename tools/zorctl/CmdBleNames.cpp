// zorctl ble-names: decrypts the BLE device name list of the program folder and prints its names.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "Command.h"
#include "catalog/BleNames.h"
#include "common/Text.h"

namespace zor::ctl {
namespace {

int Run(CommandContext& ctx) {
    if (!ctx.options.args.empty()) {
        ctx.err << "zorctl: unknown argument \"" << PrintableText(ctx.options.args.front())
                << "\"\nusage: zorctl ble-names\n";
        return 2;
    }
    std::string error;
    const std::string text = LoadBleNames(ctx.options.home, &error);
    if (!error.empty()) return Fail(ctx, "cannot read the BLE name list: " + error);
    const auto names = text.empty() ? std::vector<std::string>{} : Split(text, ',');
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"names", names}, {"text", text}}.dump(4) << '\n';
        return 0;
    }
    for (const auto& name : names) ctx.out << name << '\n';
    return 0;
}

const CommandRegistration kRegistration("ble-names", "ble-names",
                                        "print the BLE device names the program may connect to", Run);

}  // namespace
}  // namespace zor::ctl
