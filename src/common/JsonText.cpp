#include "common/JsonText.h"

namespace zor {

JsonDepthError::JsonDepthError(int maxDepth)
    : nlohmann::json::exception(
          599,
          ("[json.exception.zor.599] nested deeper than " + std::to_string(maxDepth) + " levels").c_str()) {}

JsonRangeError::JsonRangeError(const std::string& value)
    : nlohmann::json::exception(
          598, ("[json.exception.zor.598] the number " + value.substr(0, 40) + " is out of range").c_str()) {}

int JsonNestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;  // the escaped character never ends the string
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
            if (deepest > limit) return limit + 1;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

nlohmann::json ParseJson(std::string_view text, int maxDepth) {
    if (JsonNestingDepth(text, maxDepth) > maxDepth) throw JsonDepthError(maxDepth);
    return nlohmann::json::parse(text);
}

bool AcceptJson(std::string_view text, int maxDepth) {
    return JsonNestingDepth(text, maxDepth) <= maxDepth && nlohmann::json::accept(text);
}

}  // namespace zor
