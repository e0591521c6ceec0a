// Where the command set finds the macros that keys name: the predefined macro lists and the
// user's macro library. Both are filled by the macro layer.
#pragma once

#include <optional>
#include <string>

#include "device/MacroDeviceBlock.h"

namespace zor {

class PredefinedMacros {
public:
    virtual ~PredefinedMacros() = default;
    // Predefined macro k (function id 100 + k), in application codes; nullopt when unknown.
    virtual std::optional<MacroDeviceBlock> PredefinedMacro(int k) const = 0;
};

class MacroLibrary {
public:
    virtual ~MacroLibrary() = default;
    // A copy of the block of the macro named by its group and macro GUID texts.
    virtual std::optional<MacroDeviceBlock> FindMacro(const std::string& groupGuid,
                                                      const std::string& macroGuid) const = 0;
};

}  // namespace zor
