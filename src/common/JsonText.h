// Parsing JSON that comes from outside the program (files the user or a package hands us) with
// a bound on how deeply arrays and objects nest. Deep nesting costs stack in every recursive
// walk of the parsed value (copying, printing, comparing), so such a text is refused before it
// is parsed, with an error of the JSON library's own kind that every reader already catches.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

namespace zor {

// The deepest nesting the program's documents need is under ten levels.
inline constexpr int kMaxJsonDepth = 64;

// Thrown (as a nlohmann::json::exception) for a text nested deeper than allowed.
class JsonDepthError : public nlohmann::json::exception {
public:
    explicit JsonDepthError(int maxDepth);
};

// Thrown (as a nlohmann::json::exception) for a number that does not fit the integer it is read
// into.
class JsonRangeError : public nlohmann::json::exception {
public:
    explicit JsonRangeError(const std::string& value);
};

// A JSON number read as the integer type T. A value T cannot hold is refused with JsonRangeError:
// the library's own get<T>() converts an out-of-range floating-point number with undefined
// behaviour and wraps an out-of-range integer into another value. A fraction is cut off toward
// zero, as get<T>() does; what is not a number fails as in get<T>().
template <typename T>
T JsonInteger(const nlohmann::json& value) {
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // Both bounds are powers of two (or zero), so they are exact as doubles.
        if (!(d > static_cast<double>(std::numeric_limits<T>::min()) - 1.0 &&
              d < static_cast<double>(std::numeric_limits<T>::max()) + 1.0))
            throw JsonRangeError(value.dump());
        return static_cast<T>(d);
    }
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (!std::in_range<T>(u)) throw JsonRangeError(value.dump());
        return static_cast<T>(u);
    }
    if (value.is_number_integer()) {
        const auto i = value.get<std::int64_t>();
        if (!std::in_range<T>(i)) throw JsonRangeError(value.dump());
        return static_cast<T>(i);
    }
    return value.get<T>();
}

// The deepest nesting of arrays and objects in text, counting the outermost as 1; stops
// counting (and returns limit + 1) as soon as limit is exceeded.
int JsonNestingDepth(std::string_view text, int limit = kMaxJsonDepth);

// nlohmann::json::parse with the depth bound. Throws nlohmann::json::exception.
nlohmann::json ParseJson(std::string_view text, int maxDepth = kMaxJsonDepth);

// True when text is valid JSON within the depth bound.
bool AcceptJson(std::string_view text, int maxDepth = kMaxJsonDepth);

}  // namespace zor
