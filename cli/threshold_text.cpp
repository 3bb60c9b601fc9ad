#include "threshold_text.h"

#include <charconv>
#include <cmath>

#include "tracksieve/decibels.h"

namespace tracksieve::cli {

std::optional<double> thresholdFromText(std::string_view decibels) {
    double value = 0;
    const char* end = decibels.data() + decibels.size();
    const auto [stop, error] = std::from_chars(decibels.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value > 0) return std::nullopt;
    return amplitudeFromDecibels(value);
}

}  // namespace tracksieve::cli
