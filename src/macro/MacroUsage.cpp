#include "macro/MacroUsage.h"

namespace zor {

void RebuildMacroUsage(MacroStore& store, std::u16string_view model, const std::vector<MacroUse>& uses) {
    const std::u16string key(model);
    for (MacroGroup& group : store.groups()) {
        for (MacroRecord& rec : group.macros) {
            rec.bindings.erase(key);
            std::vector<MacroBinding> list;
            for (const MacroUse& use : uses) {
                if (use.grpGuid.empty() || use.macGuid.empty()) continue;
                if (use.grpGuid != group.guid || use.macGuid != rec.guid) continue;
                list.push_back({use.keyName, "MouseProfile" + std::to_string(use.table + 1)});
            }
            if (!list.empty()) rec.bindings[key] = std::move(list);
            // Counted afresh so that repeated saves do not inflate the counter.
            std::uint32_t count = 0;
            for (const auto& [device, keys] : rec.bindings) count += static_cast<std::uint32_t>(keys.size());
            rec.bindCount = count;
        }
    }
}

bool MacroIsBound(const MacroRecord& macro) {
    return !macro.bindings.empty() || macro.bindCount > 0;
}

}  // namespace zor
