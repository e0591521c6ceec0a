// A profile's settings as the program sees them (buttons with their functions, DPI gears, report
// rates, lighting of the current mode, power and sensor options), as one JSON value: what
// `zorctl get --json` prints and what the running program's GetProfile answers.
#pragma once

#include <nlohmann/json.hpp>

#include "control/ModelSession.h"

namespace zor::control {

nlohmann::json DescribeProfile(const ModelSession& model, int profile);

// One button of a profile as `zorctl set key --json` prints it and the program's SetKey answers:
// {"profile", "button" (the slot), "code", "text"}.
nlohmann::json DescribeKey(const ModelSession& model, int profile, int slot);

}  // namespace zor::control
