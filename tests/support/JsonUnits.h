// Names kept in JSON as arrays of UTF-16 code units, as the macro and exchange files store them.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

namespace zor::test {

inline nlohmann::json Units(std::u16string_view text) {
    nlohmann::json a = nlohmann::json::array();
    for (char16_t c : text) a.push_back(static_cast<unsigned>(c));
    return a;
}

}  // namespace zor::test
