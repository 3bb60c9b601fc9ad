#pragma once

namespace tracksieve::cli {

// The desktop program's fixed values: both front ends judge files alike.
inline constexpr double kThreshold = 0.001;
inline constexpr int kMinChannels = 2;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace tracksieve::cli
