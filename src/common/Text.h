// Text conversions: UTF-8 <-> UTF-16, UTF-16 code-unit arrays, case folding of ASCII and
// a small printf-style formatter for the program's "%d", "%s", "%u", "%06X" texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zor {

// Invalid UTF-8 sequences become U+FFFD; never throws.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Lone surrogates become U+FFFD in the UTF-8 text (UTF-8 cannot carry them).
std::string Utf16ToUtf8(std::u16string_view utf16);

// Code-unit arrays are kept exactly: lone surrogates survive a round trip.
std::vector<std::uint16_t> ToCodeUnits(std::u16string_view text);
std::u16string FromCodeUnits(const std::vector<std::uint16_t>& units);

std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
// Splits at every separator; an empty text gives one empty item.
std::vector<std::string> Split(std::string_view text, char separator);
std::string Join(const std::vector<std::string>& items, std::string_view separator);

// Text safe to print on a terminal: control characters (C0, DEL and the C1 range U+0080..U+009F)
// become escapes ("\n", "\r", "\t", "\x1b", "\u009b") and a backslash is doubled, so that a
// name can neither move the cursor nor start an escape sequence, and stays unambiguous.
std::string EscapeControls(std::string_view utf8);

// Text from outside the program (a service's reply, a file's contents, the user's arguments) made
// safe to show on a terminal or in a window: what EscapeControls escapes, and also the characters
// that reorder the text shown around them (U+061C, U+200E, U+200F, U+202A..U+202E, U+2066..U+2069),
// the line and paragraph separators (U+2028, U+2029) and bytes that are not UTF-8 ("\xNN").
// With keepLineBreaks, "\n" stays a line break. At most maxChars characters of text are shown
// (an escape counts as one); a longer text ends in "..." after them.
inline constexpr std::size_t kPrintableMaxChars = 1000;
std::string PrintableText(std::string_view text, std::size_t maxChars = kPrintableMaxChars,
                          bool keepLineBreaks = false);

// _wtoi semantics: leading blanks, optional sign, leading decimal digits, 0 when there are none.
// Saturates instead of overflowing.
int ParseLeadingInt(std::string_view text);
// ParseLeadingInt for readers that refuse what _wtoi would saturate: nothing when the leading
// number does not fit an int.
std::optional<int> ParseLeadingIntChecked(std::string_view text);

// One argument of Format: integers (signed or unsigned) or text.
using FormatArg = std::variant<long long, unsigned long long, std::string>;

namespace detail {
std::string FormatImpl(std::string_view format, const std::vector<FormatArg>& args);
template <typename T>
FormatArg ToFormatArg(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return static_cast<long long>(value);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return static_cast<long long>(value);
    } else if constexpr (std::is_integral_v<T>) {
        return static_cast<unsigned long long>(value);
    } else if constexpr (std::is_enum_v<T>) {
        return static_cast<long long>(value);
    } else {
        return std::string(std::string_view(value));
    }
}
}  // namespace detail

// printf-style formatting with type-safe arguments. Supports flags "-", "0", "+", " ", a width,
// and the conversions d, i, u, x, X, c, s and "%%". A conversion without an argument prints
// nothing; surplus arguments are ignored. %d of an unsigned and %u of a signed value convert the
// way printf would on a 32-bit int.
template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
    return detail::FormatImpl(format, std::vector<FormatArg>{detail::ToFormatArg(args)...});
}

}  // namespace zor
