#include "text_trim.h"

#include <cstddef>
#include <optional>

namespace tracksieve::app {
namespace {

// Separators (Zs, Zl, Zp), tab and the line breaks.
bool isWhitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// 0 for a byte that cannot start a sequence.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead >> 5) == 0x6) return 2;
    if ((lead >> 4) == 0xE) return 3;
    if ((lead >> 3) == 0x1E) return 4;
    return 0;
}

// The code point of the well-formed UTF-8 sequence that is exactly `bytes`, if it is one.
std::optional<char32_t> decode(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || length != bytes.size()) return std::nullopt;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    return c;
}

}  // namespace

std::string trimWhitespace(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text.front()));
        const std::optional<char32_t> c = decode(text.substr(0, length));
        if (!c || !isWhitespace(*c)) break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            --start;
        const std::optional<char32_t> c = decode(text.substr(start));
        if (!c || !isWhitespace(*c)) break;
        text.remove_suffix(text.size() - start);
    }
    return std::string(text);
}

}  // namespace tracksieve::app
