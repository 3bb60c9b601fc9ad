#pragma once

#include <cmath>

namespace tracksieve {

/// The default threshold in dBFS: a track whose peak stays below it is empty.
inline constexpr double kThresholdDecibels = -60.0;

/// The linear amplitude of a level in dBFS (0 dBFS = 1.0, digital full scale).
inline double amplitudeFromDecibels(double decibels) { return std::pow(10.0, decibels / 20.0); }

}  // namespace tracksieve
