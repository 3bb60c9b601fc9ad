#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform_file.h"
#include "tracksieve/sound_report.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;

std::vector<PolyWavInfo> twoTracks() {
    PolyWavInfo file;
    file.path = "/card/T1.WAV";
    file.channels = 2;
    file.sampleRate = 48000;
    file.bitsPerSample = 24;
    file.tracks = {{0, "Boom, left", 0.5, 0.1, false}, {1, "Spare", 0, 0, true}};
    return {file};
}

std::vector<fs::path> entriesOf(const fs::path& dir) {
    std::vector<fs::path> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
}

TEST(SoundReportFile, HoldsTheReportAndReplacesAnEarlierOne) {
    const TempDir dir;
    const fs::path report = dir.write("report.csv", "an earlier report");
    saveSoundReportCsv(twoTracks(), report);
    std::ostringstream expected;
    writeSoundReportCsv(twoTracks(), expected);
    EXPECT_EQ(readFile(report), expected.str());
    EXPECT_EQ(entriesOf(dir.path()), std::vector<fs::path>{"report.csv"});
}

TEST(SoundReportFile, AFailureAnywhereLeavesTheEarlierReportAndNothingElse) {
    for (const platform::FileOperation failing :
         {platform::FileOperation::Create, platform::FileOperation::Write, platform::FileOperation::Sync,
          platform::FileOperation::Close, platform::FileOperation::Rename}) {
        SCOPED_TRACE(static_cast<int>(failing));
        const TempDir dir;
        const fs::path report = dir.write("report.csv", "an earlier report");
        platform::setFaultInjector(
            [failing](platform::FileOperation operation) { return operation == failing ? ENOSPC : 0; });
        EXPECT_THROW(saveSoundReportCsv(twoTracks(), report), std::runtime_error);
        platform::setFaultInjector({});
        EXPECT_EQ(readFile(report), "an earlier report");
        EXPECT_EQ(entriesOf(dir.path()), std::vector<fs::path>{"report.csv"});
    }
}

}  // namespace
}  // namespace tracksieve
