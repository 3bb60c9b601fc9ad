#pragma once

#include <cmath>

namespace tracksieve {

/// The default threshold in dBFS: a track whose peak stays below it is empty.
inline constexpr double kThresholdDecibels = -60.0;

/// The linear amplitude of a level in dBFS (0 dBFS = 1.0, digital full scale).
inline double amplitudeFromDecibels(double decibels) {
    // Whole multiples of 20 dB are powers of ten, worked out exactly: some C libraries' pow
    // misses 0.001 by one bit, and -60 dBFS must judge a track as the fixed threshold does.
    const double exponent = decibels / 20.0;
    if (exponent != std::trunc(exponent) || std::abs(exponent) > 22) return std::pow(10.0, exponent);
    double power = 1.0;
    for (double i = 0; i < std::abs(exponent); ++i) power *= 10.0;
    return exponent < 0 ? 1.0 / power : power;
}

}  // namespace tracksieve
