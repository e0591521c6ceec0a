// Where each macro is used: per macro and device model, the bound keys with the profile they are
// bound in. Rebuilt for the current model from its key tables after every save of the
// configuration document.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "macro/MacroStore.h"

namespace zor {

// One key of one key table that plays a user macro.
struct MacroUse {
    int table = 0;        // key table (profile) index 0..3
    std::string keyName;  // the key as the key list shows it (its default function's label)
    std::string grpGuid;
    std::string macGuid;
};

// Whether keys play the macro: listed in the usage of some model, or counted by the key popup
// since the usage was last rebuilt (a key given the macro, the document not saved yet). The
// macro page and zorctl both ask this before a change that the keys must hear of.
bool MacroIsBound(const MacroRecord& macro);

// Replaces the model's entries in every macro's bindings by the uses given, and recounts each
// macro's use counter as the number of its bindings over all models. Does not save.
void RebuildMacroUsage(MacroStore& store, std::u16string_view model, const std::vector<MacroUse>& uses);

}  // namespace zor
