#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_delegate.h"
#include "fake_toolkit.h"
#include "wav_builder.h"

// The window logic driven through the fake toolkit, with the core calls swappable.
namespace tracksieve::app::testing {

namespace fs = std::filesystem;
using tracksieve::testing::TempDir;
using tracksieve::testing::WavBuilder;
using tracksieve::testing::wavWithLevels;

// A record as the analysis would return it: one track per peak, empty below 0.001.
inline PolyWavInfo record(const std::string& name, const std::vector<double>& peaks) {
    PolyWavInfo file;
    file.path = fs::path("/recordings") / name;
    file.channels = static_cast<std::int32_t>(peaks.size());
    file.sampleRate = 48000;
    file.bitsPerSample = 24;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        file.tracks.push_back(
            {static_cast<std::int32_t>(i), "Track " + std::to_string(i + 1), peaks[i], peaks[i] / 2, peaks[i] < 0.001});
    }
    return file;
}

inline PolyWavInfo failedRecord(const std::string& name, const std::string& error) {
    PolyWavInfo file;
    file.path = fs::path("/recordings") / name;
    file.error = error;
    return file;
}

// The Keep column's cell: a checkbox and no text.
inline Cell keepCell(bool kept) {
    Cell cell;
    cell.checked = kept;
    return cell;
}

using ScanCall = decltype(CoreOperations::scanFolder);
using SlimCall = decltype(CoreOperations::slimPolyWav);
using SplitCall = decltype(CoreOperations::splitPolyWav);

// What a slim of a file with `channels` channels that removed `removed` of them reports.
inline SlimOutcome outcome(const fs::path& written, int channels, std::vector<std::int32_t> removed) {
    SlimOutcome result{written, {}, std::move(removed), false};
    for (std::int32_t channel = 0; channel < channels; ++channel) {
        if (std::find(result.removedChannels.begin(), result.removedChannels.end(), channel) ==
            result.removedChannels.end()) {
            result.keptChannels.push_back(channel);
        }
    }
    return result;
}

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest() {
        ui.attach(delegate);
        delegate.applicationDidFinishLaunching();
    }

    // Scans `dir_` through the path field and runs the scan to its end.
    void scanFolder() {
        ui.type(Control::PathField, dir_.path().string());
        ui.click(Control::ScanButton);
        ui.settle();
    }

    // Shows `records` as the result of a scan, without touching the disk.
    void showRecords(const std::vector<PolyWavInfo>& records) {
        scanCall = [records](const fs::path&, bool, const ScanProgress&) { return ScanOutcome{records, {}}; };
        scanFolder();
    }

    TempDir dir_;
    FakeToolkit ui;
    // The core calls go through these, so a test can swap them at any moment.
    ScanCall scanCall = coreOperations().scanFolder;
    SlimCall slimCall = coreOperations().slimPolyWav;
    SplitCall splitCall = coreOperations().splitPolyWav;
    AppDelegate delegate{
        ui, CoreOperations{
                .scanFolder = [this](const fs::path& dir, bool recursive,
                                     const ScanProgress& onProgress) { return scanCall(dir, recursive, onProgress); },
                .slimPolyWav = [this](const fs::path& source,
                                      const SlimOptions& options) { return slimCall(source, options); },
                .splitPolyWav = [this](const fs::path& source,
                                       const SplitOptions& options) { return splitCall(source, options); },
            }};
};

}  // namespace tracksieve::app::testing
