#pragma once

#include <optional>
#include <string_view>

// Finds iXML elements in raw text the way an ECMAScript, case-insensitive regex_search of the
// corresponding pattern would (leftmost match, lazy bodies end at the first closing tag), in
// linear time and without recursion or allocation, so that a huge or damaged chunk is harmless.
// Tag names are given in upper case; the text may use any ASCII letter case. Every returned
// view points into the searched text.
namespace tracksieve {

/// A match of "<TAG>\s*([0-9]+)\s*</TAG>".
struct NumberElement {
    std::string_view element;
    std::string_view digits;
};

/// A match of "<TIMECODE_RATE>\s*([0-9]+)\s*(?:/\s*([0-9]+))?\s*</TIMECODE_RATE>".
struct RateElement {
    std::string_view element;
    std::string_view numerator;
    std::optional<std::string_view> denominator;  // only when the "/ digits" part took part
};

/// A match of "<TAG>([\s\S]*?)</TAG>".
struct TextElement {
    std::string_view element;
    std::string_view content;
};

/// The first "<TAG>" element holding only a decimal number, optionally surrounded by whitespace.
std::optional<NumberElement> findNumberElement(std::string_view text, std::string_view tag);

/// The first TIMECODE_RATE element holding a whole number or a fraction of whole numbers.
std::optional<RateElement> findTimecodeRate(std::string_view text);

/// The first "<TAG\b[\s\S]*?</TAG>": an opening tag, possibly with attributes, through the
/// first closing tag after it.
std::optional<std::string_view> findElement(std::string_view text, std::string_view tag);

/// The first "<TAG>([\s\S]*?)</TAG>": an attribute-free opening tag through the first closing tag.
std::optional<TextElement> findTextElement(std::string_view text, std::string_view tag);

/// The position of the first "<TAG\b" (an opening tag, closed or not), or npos.
std::size_t findOpeningTag(std::string_view text, std::string_view tag);

/// The position of the first "</TAG>" at or after `from`, or npos.
std::size_t findClosingTag(std::string_view text, std::string_view tag, std::size_t from);

}  // namespace tracksieve
