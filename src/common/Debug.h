// Debug lines: one line per event on stderr when ZOR_DEBUG=1, nothing otherwise.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/Text.h"

namespace zor {

bool DebugEnabled();
// Writes text as it stands (the program's texts carry their own "\n"); a missing final newline
// is added so that lines from several threads never run together.
void DebugLine(std::string_view text);

template <typename... Args>
void DebugF(std::string_view format, const Args&... args) {
    if (DebugEnabled()) DebugLine(Format(format, args...));
}

// Test seam: receives every debug line (also when ZOR_DEBUG is not set); null restores stderr.
void SetDebugSinkForTest(std::function<void(const std::string&)> sink);

}  // namespace zor
