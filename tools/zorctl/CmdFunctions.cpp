// zorctl functions: the built-in key functions of the catalog, with the names `set key` accepts.
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "config/KeyFunctionCatalog.h"
#include "settings/KeyAssign.h"

namespace zor::ctl {
namespace {

int RunFunctions(CommandContext& ctx) {
    if (!ctx.options.args.empty()) return Fail(ctx, "functions takes no arguments");
    KeyFunctionCatalog catalog;
    std::string error;
    if (!catalog.LoadFile(ctx.options.home / kLanguageTextPath, &error)) return Fail(ctx, error);
    const std::vector<FunctionInfo> functions = CatalogFunctions(catalog);
    if (ctx.options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const FunctionInfo& f : functions)
            list.push_back({{"code", f.code},
                            {"label", f.listLabel},
                            {"button", f.buttonLabel},
                            {"category", CategoryName(f.category)},
                            {"wheel", f.wheel}});
        ctx.out << list.dump(4) << '\n';
        return 0;
    }
    ctx.out << std::left << std::setw(6) << "CODE" << std::setw(10) << "CATEGORY" << std::setw(24) << "LABEL"
            << "BUTTON TEXT\n";
    for (const FunctionInfo& f : functions) {
        ctx.out << std::setw(6) << f.code << std::setw(10) << CategoryName(f.category) << std::setw(24)
                << f.listLabel << f.buttonLabel << (f.wheel ? "  (also on the wheel)" : "") << '\n';
    }
    ctx.out << "\nAlso: key:NAME (a keyboard key, e.g. key:A, key:F5, key:Enter) and macro:GROUP/NAME.\n";
    return 0;
}

const CommandRegistration kFunctions("functions", "functions",
                                     "the key functions a button can be given (zorctl set key)",
                                     RunFunctions);

}  // namespace
}  // namespace zor::ctl
