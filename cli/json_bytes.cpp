#include "json_bytes.h"

#include <cstddef>

namespace tracksieve::cli {
namespace {

// The JSON writer turns a NUL into \u0000; a NUL always followed by two hex digits names
// either a NUL of the text ("00") or a byte that was not UTF-8 (80-ff, never below 0x80).
constexpr char kMark = '\0';
constexpr std::string_view kDumpedMark = "\\u0000";

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `at`, or 0 where its first byte must be escaped.
std::size_t wellFormedLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const std::size_t left = text.size() - at;
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondLow = 0xA0;   // overlong
        if (lead == 0xED) secondHigh = 0x9F;  // UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondLow = 0x90;   // overlong
        if (lead == 0xF4) secondHigh = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (left < length || byte(1) < secondLow || byte(1) > secondHigh) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(byte(i))) return 0;
    }
    return length;
}

char hexDigit(unsigned value) { return "0123456789abcdef"[value & 0xF]; }

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string markInvalidBytes(std::string_view bytes) {
    std::string marked;
    marked.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = wellFormedLength(bytes, at);
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (length == 0 || lead == 0) {
            marked += kMark;
            marked += hexDigit(lead >> 4);
            marked += hexDigit(lead);
            ++at;
        } else {
            marked.append(bytes.substr(at, length));
            at += length;
        }
    }
    return marked;
}

std::string unmarkByteEscapes(std::string_view json) {
    std::string out;
    out.reserve(json.size());
    for (std::size_t at = 0; at < json.size();) {
        if (json[at] != '\\') {
            out += json[at++];
            continue;
        }
        const std::size_t markEnd = at + kDumpedMark.size();
        if (json.substr(at, kDumpedMark.size()) == kDumpedMark && markEnd + 2 <= json.size() &&
            isHexDigit(json[markEnd]) && isHexDigit(json[markEnd + 1])) {
            const std::string_view digits = json.substr(markEnd, 2);
            out += digits == "00" ? std::string(kDumpedMark) : "\\udc" + std::string(digits);
            at = markEnd + 2;
        } else {
            // An escape pair is copied whole, so an escaped backslash never starts a mark.
            out.append(json.substr(at, 2));
            at += 2;
        }
    }
    return out;
}

}  // namespace tracksieve::cli
