#pragma once
// Under the run-time checkers (scripts/sanitize.sh) everything runs several times slower: tests
// multiply their time limits and time budgets by this. 1 in a normal build.
namespace zor::test {
#if defined(__SANITIZE_THREAD__)
inline constexpr int kSlowdown = 8;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 3;
#else
inline constexpr int kSlowdown = 1;
#endif
}  // namespace zor::test
