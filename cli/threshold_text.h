#pragma once

#include <optional>
#include <string_view>

namespace tracksieve::cli {

/// The linear amplitude of a --threshold level in dBFS, or none unless the text is a finite
/// number up to 0 ("-72.5", "0"), whatever the locale.
std::optional<double> thresholdFromText(std::string_view decibels);

}  // namespace tracksieve::cli
