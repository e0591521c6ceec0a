// Figures about this process that the wake-up measurements read from /proc.
#pragma once

namespace zor {

// Voluntary context switches of every thread of this process so far; -1 when /proc is unreadable.
long long VoluntaryContextSwitches();

}  // namespace zor
