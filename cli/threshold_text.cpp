#include "threshold_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "tracksieve/decibels.h"

namespace tracksieve::cli {

std::optional<double> thresholdFromText(std::string_view decibels) {
    double value = 0;
    const char* end = decibels.data() + decibels.size();
    const auto [stop, error] = std::from_chars(decibels.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value > 0) return std::nullopt;
    // A level too low for a double comes out as 0, which digital silence does not stay below.
    return std::max(amplitudeFromDecibels(value), std::numeric_limits<double>::denorm_min());
}

}  // namespace tracksieve::cli
