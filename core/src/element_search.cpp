#include "element_search.h"

#include <cstring>

namespace tracksieve {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The six characters of the regex class \s.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isWordChar(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::size_t skipSpaces(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    return pos;
}

std::size_t skipDigits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    return pos;
}

std::size_t nextAngleBracket(std::string_view text, std::size_t from) {
    if (from >= text.size()) return npos;
    const void* found = std::memchr(text.data() + from, '<', text.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : npos;
}

// Position just past "<TAG" (or "</TAG" when `closing`) at `pos`, or npos. A tag name holds
// no '<', so a failed comparison never reads past the next '<' of the text: scanning every
// '<' of the text this way stays linear.
std::size_t tagNameEnd(std::string_view text, std::size_t pos, std::string_view tag, bool closing) {
    if (pos >= text.size() || text[pos] != '<') return npos;
    std::size_t at = pos + 1;
    if (closing) {
        if (at >= text.size() || text[at] != '/') return npos;
        ++at;
    }
    if (text.size() - at < tag.size()) return npos;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (asciiUpper(text[at + i]) != tag[i]) return npos;
    }
    return at + tag.size();
}

// Position just past "<TAG>" (or "</TAG>") at `pos`, or npos.
std::size_t exactTagEnd(std::string_view text, std::size_t pos, std::string_view tag, bool closing) {
    const std::size_t end = tagNameEnd(text, pos, tag, closing);
    if (end == npos || end >= text.size() || text[end] != '>') return npos;
    return end + 1;
}

// Calls `tryAt(pos)` for each '<' from the start until it returns a match.
template <typename Match, typename TryAt>
std::optional<Match> firstMatch(std::string_view text, TryAt tryAt) {
    for (std::size_t pos = nextAngleBracket(text, 0); pos != npos; pos = nextAngleBracket(text, pos + 1)) {
        if (std::optional<Match> match = tryAt(pos)) return match;
    }
    return std::nullopt;
}

}  // namespace

std::size_t findClosingTag(std::string_view text, std::string_view tag, std::size_t from) {
    for (std::size_t pos = nextAngleBracket(text, from); pos != npos; pos = nextAngleBracket(text, pos + 1)) {
        if (exactTagEnd(text, pos, tag, true) != npos) return pos;
    }
    return npos;
}

// Whitespace and digits never match each other, and neither matches '/' or '<', so the
// backtracking of the pattern can only ever find one way through an element: each run is
// taken whole, and an element that fails at one start fails there for good.
std::optional<NumberElement> findNumberElement(std::string_view text, std::string_view tag) {
    return firstMatch<NumberElement>(text, [&](std::size_t start) -> std::optional<NumberElement> {
        std::size_t pos = exactTagEnd(text, start, tag, false);
        if (pos == npos) return std::nullopt;
        const std::size_t digitsBegin = skipSpaces(text, pos);
        const std::size_t digitsEnd = skipDigits(text, digitsBegin);
        if (digitsEnd == digitsBegin) return std::nullopt;
        const std::size_t end = exactTagEnd(text, skipSpaces(text, digitsEnd), tag, true);
        if (end == npos) return std::nullopt;
        return NumberElement{text.substr(start, end - start), text.substr(digitsBegin, digitsEnd - digitsBegin)};
    });
}

// A '/' after the numerator must be followed by a denominator: leaving the optional part out
// would leave the '/' where only whitespace or the closing tag may stand.
std::optional<RateElement> findTimecodeRate(std::string_view text) {
    constexpr std::string_view tag = "TIMECODE_RATE";
    return firstMatch<RateElement>(text, [&](std::size_t start) -> std::optional<RateElement> {
        std::size_t pos = exactTagEnd(text, start, tag, false);
        if (pos == npos) return std::nullopt;
        const std::size_t numeratorBegin = skipSpaces(text, pos);
        const std::size_t numeratorEnd = skipDigits(text, numeratorBegin);
        if (numeratorEnd == numeratorBegin) return std::nullopt;
        RateElement rate;
        rate.numerator = text.substr(numeratorBegin, numeratorEnd - numeratorBegin);
        pos = skipSpaces(text, numeratorEnd);
        if (pos < text.size() && text[pos] == '/') {
            const std::size_t denominatorBegin = skipSpaces(text, pos + 1);
            const std::size_t denominatorEnd = skipDigits(text, denominatorBegin);
            if (denominatorEnd == denominatorBegin) return std::nullopt;
            rate.denominator = text.substr(denominatorBegin, denominatorEnd - denominatorBegin);
            pos = skipSpaces(text, denominatorEnd);
        }
        const std::size_t end = exactTagEnd(text, pos, tag, true);
        if (end == npos) return std::nullopt;
        rate.element = text.substr(start, end - start);
        return rate;
    });
}

std::size_t findOpeningTag(std::string_view text, std::string_view tag) {
    for (std::size_t start = nextAngleBracket(text, 0); start != npos; start = nextAngleBracket(text, start + 1)) {
        const std::size_t nameEnd = tagNameEnd(text, start, tag, false);
        if (nameEnd != npos && (nameEnd == text.size() || !isWordChar(text[nameEnd]))) return start;
    }
    return npos;
}

// Every later opening tag sees only part of what the first one sees, so when the first has
// no closing tag after it, none has.
std::optional<std::string_view> findElement(std::string_view text, std::string_view tag) {
    const std::size_t start = findOpeningTag(text, tag);
    if (start == npos) return std::nullopt;
    const std::size_t close = findClosingTag(text, tag, start + 1 + tag.size());
    if (close == npos) return std::nullopt;
    return text.substr(start, close + tag.size() + 3 - start);
}

std::optional<TextElement> findTextElement(std::string_view text, std::string_view tag) {
    for (std::size_t start = nextAngleBracket(text, 0); start != npos; start = nextAngleBracket(text, start + 1)) {
        const std::size_t contentBegin = exactTagEnd(text, start, tag, false);
        if (contentBegin == npos) continue;
        const std::size_t close = findClosingTag(text, tag, contentBegin);
        if (close == npos) return std::nullopt;
        return TextElement{text.substr(start, close + tag.size() + 3 - start),
                           text.substr(contentBegin, close - contentBegin)};
    }
    return std::nullopt;
}

}  // namespace tracksieve
