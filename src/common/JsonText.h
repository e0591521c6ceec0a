// Parsing JSON that comes from outside the program (files the user or a package hands us) with
// a bound on how deeply arrays and objects nest. Deep nesting costs stack in every recursive
// walk of the parsed value (copying, printing, comparing), so such a text is refused before it
// is parsed, with an error of the JSON library's own kind that every reader already catches.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zor {

// The deepest nesting the program's documents need is under ten levels.
inline constexpr int kMaxJsonDepth = 64;

// Thrown (as a nlohmann::json::exception) for a text nested deeper than allowed.
class JsonDepthError : public nlohmann::json::exception {
public:
    explicit JsonDepthError(int maxDepth);
};

// The deepest nesting of arrays and objects in text, counting the outermost as 1; stops
// counting (and returns limit + 1) as soon as limit is exceeded.
int JsonNestingDepth(std::string_view text, int limit = kMaxJsonDepth);

// nlohmann::json::parse with the depth bound. Throws nlohmann::json::exception.
nlohmann::json ParseJson(std::string_view text, int maxDepth = kMaxJsonDepth);

// True when text is valid JSON within the depth bound.
bool AcceptJson(std::string_view text, int maxDepth = kMaxJsonDepth);

}  // namespace zor
