#include "recorder_metadata.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "element_search.h"

namespace tracksieve {
namespace {

// Only digits are ever captured, so a conversion fails only when the number does not fit.
template <typename Number>
std::optional<Number> toNumber(std::string_view digits) {
    Number value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// Values beyond 64 bits saturate, so that absurd rates print absurd numbers instead of
// running into an undefined conversion.
std::uint64_t saturatingU64(long double value) {
    constexpr long double limit = 18446744073709551616.0L;  // 2^64
    if (!(value > 0)) return 0;
    if (value >= limit) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value);
}

std::string_view trimBlanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string ixmlOrBextValue(const WavFile& wav, std::string_view tag, std::string_view bextKey) {
    if (const std::optional<TextElement> element = findTextElement(wav.ixmlText, tag)) {
        const std::string_view value = trimBlanks(element->content);
        if (!value.empty()) return std::string(value);
    }
    return bextDescriptionValue(wav.bextDescription, bextKey);
}

}  // namespace

std::string bextDescriptionValue(std::string_view description, std::string_view key) {
    std::size_t lineStart = 0;
    while (lineStart < description.size()) {
        std::size_t lineEnd = description.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = description.size();
        const std::string_view line = description.substr(lineStart, lineEnd - lineStart);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
            return std::string(trimBlanks(line.substr(key.size() + 1)));
        }
        lineStart = lineEnd + 1;
    }
    return {};
}

void readSceneAndTake(const WavFile& wav, PolyWavInfo& info) {
    info.scene = ixmlOrBextValue(wav, "SCENE", "sSCENE");
    info.take = ixmlOrBextValue(wav, "TAKE", "sTAKE");
}

void readIxmlTimecode(WavFile& wav) {
    const std::string_view text = wav.ixmlText;
    if (text.empty()) return;

    if (const std::optional<RateElement> rate = findTimecodeRate(text)) {
        const std::optional<double> numerator = toNumber<double>(rate->numerator);
        if (!numerator) return;
        double denominator = 1.0;
        if (rate->denominator) {
            const std::optional<double> converted = toNumber<double>(*rate->denominator);
            if (!converted) return;
            denominator = *converted;
        }
        if (denominator > 0 && *numerator > 0) wav.timecodeRate = *numerator / denominator;
    }

    const std::optional<NumberElement> lowElement = findNumberElement(text, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO");
    std::uint64_t low = 0;
    if (lowElement) {
        const std::optional<std::uint64_t> converted = toNumber<std::uint64_t>(lowElement->digits);
        if (!converted) return;
        low = *converted;
    }
    std::uint64_t high = 0;
    if (const std::optional<NumberElement> highElement =
            findNumberElement(text, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI")) {
        const std::optional<std::uint64_t> converted = toNumber<std::uint64_t>(highElement->digits);
        if (!converted) return;
        high = *converted;
    }
    if (lowElement) {
        wav.timeReference = (high << 32) | low;
        wav.hasTimeReference = true;
    }
}

std::string formatTimecode(std::uint64_t timeReference, std::int32_t sampleRate, double timecodeRate) {
    if (sampleRate < 1 || !(timecodeRate > 0)) return {};

    const long double quotient = static_cast<long double>(timeReference) / sampleRate;
    const std::uint64_t seconds = saturatingU64(quotient);
    const long double fraction = quotient - static_cast<long double>(seconds);
    const long double rate = timecodeRate;
    // Rounded half up, but never as far as the rate itself: the last frame of a second is the last.
    std::uint64_t frames = saturatingU64(fraction * rate + 0.5L);
    const std::uint64_t lastFrame = saturatingU64(std::floor(rate + 0.5L) - 1);
    if (frames > lastFrame) frames = lastFrame;

    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600 % 100),
                  static_cast<unsigned long long>(seconds % 3600 / 60), static_cast<unsigned long long>(seconds % 60),
                  static_cast<unsigned long long>(frames));
    return text;
}

std::string_view trackListScope(std::string_view ixmlText) {
    if (const std::optional<std::string_view> list = findElement(ixmlText, "TRACK_LIST")) return *list;
    return ixmlText.substr(0, findClosingTag(ixmlText, "TRACK_LIST", 0));
}

void readIxmlTrackNames(std::string_view ixmlText, std::vector<std::string>& names) {
    if (ixmlText.empty()) return;
    const std::string_view scope = trackListScope(ixmlText);
    const std::size_t channels = names.size();

    std::size_t searchFrom = 0;
    for (std::size_t position = 0;; ++position) {
        const std::optional<std::string_view> track = findElement(scope.substr(searchFrom), "TRACK");
        if (!track) return;
        searchFrom = static_cast<std::size_t>(track->data() - scope.data()) + track->size();

        std::size_t slot = position;
        std::optional<NumberElement> index = findNumberElement(*track, "CHANNEL_INDEX");
        if (!index) index = findNumberElement(*track, "INTERLEAVE_INDEX");
        if (index) {
            const std::optional<std::int32_t> k = toNumber<std::int32_t>(index->digits);
            if (!k) return;
            if (*k >= 1 && static_cast<std::size_t>(*k) <= channels) slot = static_cast<std::size_t>(*k) - 1;
        }
        if (const std::optional<TextElement> name = findTextElement(*track, "NAME")) {
            const std::string_view trimmed = trimBlanks(name->content);
            if (!trimmed.empty() && slot < channels) names[slot] = trimmed;
        }
        // A damaged list may repeat its tracks endlessly; a few beyond the channel count are enough.
        if (position == channels + 8) return;
    }
}

std::vector<int> readIxmlTrackNumbers(std::string_view ixmlText, std::size_t channels) {
    std::vector<int> numbers(channels);
    for (std::size_t i = 0; i < channels; ++i) numbers[i] = static_cast<int>(i + 1);
    const std::string_view scope = trackListScope(ixmlText);

    std::size_t searchFrom = 0;
    // A damaged list may repeat its tracks endlessly; a few beyond the channel count are enough.
    for (std::size_t position = 0; position <= channels + 8; ++position) {
        const std::optional<std::string_view> track = findElement(scope.substr(searchFrom), "TRACK");
        if (!track) break;
        searchFrom = static_cast<std::size_t>(track->data() - scope.data()) + track->size();

        const std::optional<NumberElement> channelIndex = findNumberElement(*track, "CHANNEL_INDEX");
        const std::optional<std::int32_t> number =
            channelIndex ? toNumber<std::int32_t>(channelIndex->digits) : std::nullopt;
        if (!number || *number < 1) continue;
        std::size_t slot = position;
        if (const std::optional<NumberElement> interleave = findNumberElement(*track, "INTERLEAVE_INDEX")) {
            const std::optional<std::int32_t> k = toNumber<std::int32_t>(interleave->digits);
            if (k && *k >= 1 && static_cast<std::size_t>(*k) <= channels) slot = static_cast<std::size_t>(*k) - 1;
        }
        if (slot < channels) numbers[slot] = *number;
    }
    return numbers;
}

}  // namespace tracksieve
