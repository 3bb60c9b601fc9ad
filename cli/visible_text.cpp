#include "visible_text.h"

namespace tracksieve::cli {
namespace {

void appendOctal(std::string& out, unsigned char byte) {
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

void appendControl(std::string& out, unsigned char byte) {
    constexpr std::string_view named = "abtnvfr";  // \a (7) through \r (13)
    if (byte >= '\a' && byte <= '\r') {
        out += '\\';
        out += named[byte - '\a'];
    } else {
        appendOctal(out, byte);
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0, and its value.
// Overlong forms, surrogates and values beyond U+10FFFF are not well-formed.
std::size_t utf8SequenceLength(std::string_view text, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() < length) return 0;
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            appendControl(out, byte);
            ++i;
        } else if (byte == '\\') {
            out += "\\\\";
            ++i;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
        } else if (char32_t codePoint = 0; const std::size_t length = utf8SequenceLength(text.substr(i), codePoint)) {
            // U+0080..U+009F are the C1 controls; a terminal may take U+009B as the start of a sequence.
            const bool control = codePoint <= 0x9F;
            for (std::size_t k = 0; k < length; ++k) {
                if (control) {
                    appendOctal(out, static_cast<unsigned char>(text[i + k]));
                } else {
                    out += text[i + k];
                }
            }
            i += length;
        } else {
            appendOctal(out, byte);
            ++i;
        }
    }
    return out;
}

std::string textFor(bool streamIsTerminal, std::string_view text) {
    return streamIsTerminal ? visibleText(text) : std::string(text);
}

}  // namespace tracksieve::cli
