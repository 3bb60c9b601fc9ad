#include "remembered_settings.h"

#include <charconv>
#include <system_error>

namespace tracksieve::app {
namespace {

const std::string kLastFolder = "lastFolder";
const std::string kIncludeSubfolders = "includeSubfolders";
const std::string kSilentBelow = "silentBelowDbfs";
const std::string kSameTracks = "sameTracksInEveryTake";

// A value that is no whole number in range (an edited settings file) gives the default.
int thresholdFrom(const std::optional<std::string>& text) {
    if (!text) return kDefaultThreshold;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc{} || stop != end || value < kLowestThreshold || value > kHighestThreshold)
        return kDefaultThreshold;
    return value;
}

}  // namespace

void restoreRememberedSettings(Toolkit& toolkit) {
    if (const std::optional<std::string> folder = toolkit.setting(kLastFolder))
        toolkit.setText(Control::PathField, *folder);
    toolkit.setChecked(Control::RecursiveCheck, toolkit.setting(kIncludeSubfolders) == "true");
    toolkit.setNumber(Control::ThresholdField, thresholdFrom(toolkit.setting(kSilentBelow)));
    toolkit.setChecked(Control::SameTracksCheck, toolkit.setting(kSameTracks) == "true");
}

void rememberScan(Toolkit& toolkit, const std::string& folder, bool includeSubfolders) {
    toolkit.setSetting(kLastFolder, folder);
    toolkit.setSetting(kIncludeSubfolders, includeSubfolders ? "true" : "false");
}

std::optional<std::string> rememberedFolder(const Toolkit& toolkit) { return toolkit.setting(kLastFolder); }

void rememberThreshold(Toolkit& toolkit, int decibels) { toolkit.setSetting(kSilentBelow, std::to_string(decibels)); }

void rememberSameTracks(Toolkit& toolkit, bool sameTracks) {
    toolkit.setSetting(kSameTracks, sameTracks ? "true" : "false");
}

}  // namespace tracksieve::app
