#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace zor {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            out += static_cast<char16_t>(b0);
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, minimum = 0x10000;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
        }
        if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // Replace the maximal bad subsequence; j always lies past i.
            out += kReplacement;
            i = j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i = j;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (IsHighSurrogate(u) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(utf16[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::vector<std::uint16_t> ToCodeUnits(std::u16string_view text) {
    return std::vector<std::uint16_t>(text.begin(), text.end());
}

std::u16string FromCodeUnits(const std::vector<std::uint16_t>& units) {
    return std::u16string(units.begin(), units.end());
}

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view TrimView(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            items.emplace_back(text.substr(start));
            break;
        }
        items.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    return items;
}

std::string Join(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += separator;
        out += items[i];
    }
    return out;
}

std::string EscapeControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Format("\\x%02x", c);
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // U+0080..U+009F: the C1 controls (0x9B starts an escape sequence on many terminals).
            out += Format("\\u%04x", static_cast<unsigned char>(utf8[i + 1]));
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

namespace {

// The leading integer of text as _wtoi reads it (blanks, a sign, digits), its magnitude held at
// INT_MAX + 1 once it passes that; overflowed says whether the digits went beyond an int.
long long LeadingInteger(std::string_view text, bool& overflowed) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    overflowed = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
            overflowed = true;
        }
    }
    if (negative) return -value;
    if (value > INT_MAX) overflowed = true;
    return value;
}

}  // namespace

std::optional<int> ParseLeadingIntChecked(std::string_view text) {
    bool overflowed = false;
    const long long value = LeadingInteger(text, overflowed);
    if (overflowed) return std::nullopt;
    return static_cast<int>(value);
}

namespace {

// Length of the UTF-8 sequence at text[i] and its code point; 0 when it is not well formed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool ReordersText(char32_t cp) {
    return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x2028 || cp == 0x2029;
}

}  // namespace

std::string PrintableText(std::string_view text, std::size_t maxChars, bool keepLineBreaks) {
    std::string out;
    out.reserve(std::min(text.size(), maxChars) + 8);
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size(); ++shown) {
        if (shown == maxChars) {
            out += "...";
            break;
        }
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8(text, i, cp);
        if (n == 0) {
            out += Format("\\x%02x", static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (cp == '\\') {
            out += "\\\\";
        } else if (cp == '\n') {
            out += keepLineBreaks ? "\n" : "\\n";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp < 0x20 || cp == 0x7F) {
            out += Format("\\x%02x", static_cast<unsigned>(cp));
        } else if ((cp >= 0x80 && cp <= 0x9F) || ReordersText(cp)) {
            out += Format("\\u%04x", static_cast<unsigned>(cp));
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out;
}

int ParseLeadingInt(std::string_view text) {
    bool overflowed = false;
    return static_cast<int>(std::clamp<long long>(LeadingInteger(text, overflowed), INT_MIN, INT_MAX));
}

namespace detail {

namespace {

struct Directive {
    bool left = false, zero = false, plus = false, space = false;
    int width = 0;
    char conversion = 0;
};

std::string Pad(std::string body, const Directive& directive, bool numeric) {
    if (static_cast<int>(body.size()) >= directive.width) return body;
    const std::size_t fill = static_cast<std::size_t>(directive.width) - body.size();
    if (directive.left) return body + std::string(fill, ' ');
    if (directive.zero && numeric) {
        std::size_t signLen = (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) ? 1 : 0;
        return body.substr(0, signLen) + std::string(fill, '0') + body.substr(signLen);
    }
    return std::string(fill, ' ') + body;
}

std::string ToBase(unsigned long long v, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[v % base]);
        v /= base;
    } while (v);
    return out;
}

}  // namespace

std::string FormatImpl(std::string_view format, const std::vector<FormatArg>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Directive directive;
        const std::size_t start = i;
        std::size_t j = i + 1;
        for (; j < format.size(); ++j) {
            const char f = format[j];
            if (f == '-')
                directive.left = true;
            else if (f == '0')
                directive.zero = true;
            else if (f == '+')
                directive.plus = true;
            else if (f == ' ')
                directive.space = true;
            else
                break;
        }
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
            directive.width = std::min(directive.width * 10 + (format[j] - '0'), 4096);
            ++j;
        }
        // Length modifiers (l, ll, h, z) carry no meaning with typed arguments.
        while (j < format.size() && (format[j] == 'l' || format[j] == 'h' || format[j] == 'z')) ++j;
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        directive.conversion = format[j];
        i = j;
        if (std::string_view("diuxXcs").find(directive.conversion) == std::string_view::npos) {
            out.append(format.substr(start, j - start + 1));  // unknown conversion: kept as text
            continue;
        }
        if (next >= args.size()) continue;
        const FormatArg& arg = args[next++];
        switch (directive.conversion) {
            case 'd':
            case 'i': {
                long long v = 0;
                if (auto s = std::get_if<long long>(&arg)) v = *s;
                else if (auto u = std::get_if<unsigned long long>(&arg)) v = static_cast<int>(static_cast<unsigned int>(*u));
                // The sign is appended to, not prepended (GCC 12 at -O3 misreads
                // "literal" + std::string&& as an overlapping copy and warns).
                std::string body = v < 0 ? "-" : directive.plus ? "+" : directive.space ? " " : "";
                body += ToBase(
                    v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v),
                    10, false);
                out += Pad(std::move(body), directive, true);
                break;
            }
            case 'u':
            case 'x':
            case 'X': {
                unsigned long long v = 0;
                if (auto u = std::get_if<unsigned long long>(&arg))
                    v = *u;
                else if (auto s = std::get_if<long long>(&arg))
                    v = *s < 0 ? static_cast<unsigned int>(static_cast<int>(*s))
                               : static_cast<unsigned long long>(*s);
                const unsigned base = directive.conversion == 'u' ? 10 : 16;
                out += Pad(ToBase(v, base, directive.conversion == 'X'), directive, true);
                break;
            }
            case 'c': {
                std::string body;
                if (auto s = std::get_if<long long>(&arg))
                    body = std::string(1, static_cast<char>(*s));
                else if (auto u = std::get_if<unsigned long long>(&arg))
                    body = std::string(1, static_cast<char>(*u));
                out += Pad(std::move(body), directive, false);
                break;
            }
            case 's': {
                std::string body;
                if (auto t = std::get_if<std::string>(&arg))
                    body = *t;
                else if (auto s = std::get_if<long long>(&arg))
                    body = std::to_string(*s);
                else if (auto u = std::get_if<unsigned long long>(&arg))
                    body = std::to_string(*u);
                out += Pad(std::move(body), directive, false);
                break;
            }
            default:
                break;
        }
    }
    return out;
}

}  // namespace detail

}  // namespace zor
