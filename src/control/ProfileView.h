// A profile's settings as the program sees them (buttons with their functions, DPI gears, report
// rates, lighting of the current mode, power and sensor options), as one JSON value: what
// `zorctl get --json` prints and what the running program's GetProfile answers.
#pragma once

#include <nlohmann/json.hpp>

#include "control/ModelSession.h"

namespace zor::control {

nlohmann::json DescribeProfile(const ModelSession& model, int profile);

}  // namespace zor::control
