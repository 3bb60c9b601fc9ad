#pragma once

namespace tracksieve::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
/// A scan that listed what it could, but some files or folders could not be read.
inline constexpr int kExitUnreadable = 3;

}  // namespace tracksieve::cli
