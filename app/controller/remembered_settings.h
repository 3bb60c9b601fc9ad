#pragma once

#include <optional>
#include <string>

#include <tracksieve/decibels.h>

#include "toolkit.h"

namespace tracksieve::app {

/// The choices the window keeps across launches: the last folder scanned, "Include
/// subfolders", "Silent below:" and "Same tracks in every take". The overwrite checkbox is never
/// among them, so it always starts off.
void restoreRememberedSettings(Toolkit& toolkit);
void rememberScan(Toolkit& toolkit, const std::string& folder, bool includeSubfolders);
std::optional<std::string> rememberedFolder(const Toolkit& toolkit);
void rememberThreshold(Toolkit& toolkit, int decibels);
void rememberSameTracks(Toolkit& toolkit, bool sameTracks);

/// "Silent below:"'s range and first value, in dBFS.
inline constexpr int kLowestThreshold = -120;
inline constexpr int kHighestThreshold = 0;
inline constexpr int kDefaultThreshold = static_cast<int>(kThresholdDecibels);

}  // namespace tracksieve::app
