// Read errors, short reads and interrupted reads while a file is analysed, made to happen
// through the platform seam. Only the declared size (or the end of the file) ends the audio:
// a read that fails fails the file, and the source is never changed because of it.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_run.h"
#include "platform_file.h"
#include "tracksieve/analysis.h"
#include "injected_faults.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::InjectedReadFaults;
using testing::pcmFrames;
using testing::readFile;
using testing::runCli;
using testing::TempDir;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;
constexpr std::size_t kFrames = 150'000;
constexpr std::size_t kWakesAt = 120'000;  // well past the first block of 48000 frames

// Channel 3 is silent until frame 120000, channel 4 throughout: the analysis reads every frame,
// and only one that reads them all keeps channel 3. iXML sits before the audio.
std::string lateWakingTake() {
    std::vector<std::vector<std::int32_t>> frames(kFrames, {1000, -1000, 0, 0});
    for (std::size_t f = kWakesAt; f < kFrames; ++f) frames[f][2] = 2000;
    return WavBuilder().fmt({.channels = 4}).chunk("iXML", std::string(3000, ' ')).data(pcmFrames(16, frames)).bytes();
}

// As a failing sector does it: the read that reaches `offset` returns the bytes before it, the
// next one fails.
platform::ReadFaultInjector failingAt(std::uint64_t offset) {
    return [offset](std::uint64_t at, std::size_t& size) {
        if (at == offset) return EIO;
        if (at < offset && offset < at + size) size = static_cast<std::size_t>(offset - at);
        return 0;
    };
}

std::vector<bool> emptyFlags(const PolyWavInfo& info) {
    std::vector<bool> flags;
    for (const TrackInfo& track : info.tracks) flags.push_back(track.empty);
    return flags;
}

TEST(ReadFaults, AFailedReadFailsTheFileAndChangesNothing) {
    const std::string take = lateWakingTake();
    const std::uint64_t samples = take.find("data") + 8;
    const struct {
        const char* where;
        std::uint64_t offset;
    } cases[] = {
        {"in the RIFF header", 4},
        {"in the iXML chunk", take.find("iXML") + 100},
        {"in the first block of samples", samples + 1000},
        {"in a later block, read ahead on a thread", samples + 8 * 100'001},
        {"in the last frame", take.size() - 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        TempDir dir;
        const fs::path source = dir.write("take.wav", take);
        const InjectedReadFaults faults(failingAt(c.offset));

        const PolyWavInfo info = analyzePolyWav(source, kThreshold);
        EXPECT_EQ(info.error, "Could not read file (Input/output error)");
        EXPECT_TRUE(info.tracks.empty());

        const CliRun scan = runCli({"scan", "--json", dir.path().string()});
        const nlohmann::json document = nlohmann::json::parse(scan.out);
        ASSERT_EQ(document["files"].size(), 1u);
        EXPECT_EQ(document["files"][0]["error"], "Could not read file (Input/output error)");
        EXPECT_EQ(scan.status, 3);

        for (const std::vector<std::string>& slim :
             {std::vector<std::string>{"slim", "--overwrite", source.string()}, {"slim", source.string()}}) {
            const CliRun run = runCli(slim);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out,
                      "take.wav: Could not read source file (Input/output error)\n"
                      "Removed empty tracks from 0 file(s). 1 failed.\n");
            EXPECT_EQ(readFile(source), take);
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        }
    }
}

TEST(ReadFaults, ShortAndInterruptedReadsAreResumed) {
    const std::string take = lateWakingTake();
    TempDir clean;
    const fs::path cleanSource = clean.write("take.wav", take);
    const PolyWavInfo expected = analyzePolyWav(cleanSource, kThreshold);
    ASSERT_EQ(emptyFlags(expected), (std::vector<bool>{false, false, false, true}));
    ASSERT_EQ(runCli({"slim", cleanSource.string()}).status, 0);
    const std::string expectedSlim = readFile(clean.path() / "take_SLIM.wav");

    std::atomic<unsigned> calls = 0;
    const struct {
        const char* what;
        platform::ReadFaultInjector injector;
    } cases[] = {
        {"a third of what was asked, never a whole frame",
         [](std::uint64_t, std::size_t& size) { return (size = 1 + (size - 1) / 3), 0; }},
        {"every other call interrupted", [&](std::uint64_t, std::size_t&) { return calls++ % 2 == 0 ? EINTR : 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path source = dir.write("take.wav", take);
        const InjectedReadFaults faults(c.injector);

        const PolyWavInfo info = analyzePolyWav(source, kThreshold);
        EXPECT_EQ(info.error, "");
        EXPECT_EQ(emptyFlags(info), emptyFlags(expected));
        for (std::size_t i = 0; i < info.tracks.size(); ++i) EXPECT_EQ(info.tracks[i].rms, expected.tracks[i].rms);

        EXPECT_EQ(runCli({"slim", source.string()}).status, 0);
        EXPECT_EQ(readFile(dir.path() / "take_SLIM.wav"), expectedSlim);
    }
}

// A file that loses its sample data after it was opened (cut by another program) ends early:
// what is left says nothing about the channels.
TEST(ReadFaults, AFileThatEndsBeforeItsSizeFailsTheFile) {
    const std::string take = lateWakingTake();
    TempDir dir;
    const fs::path source = dir.write("take.wav", take);
    const std::uint64_t cut = take.find("data") + 8 * 100'000;
    const InjectedReadFaults faults([cut](std::uint64_t at, std::size_t& size) {
        size = at >= cut ? 0 : std::min<std::size_t>(size, static_cast<std::size_t>(cut - at));
        return 0;
    });
    EXPECT_EQ(analyzePolyWav(source, kThreshold).error, "Could not read file");
    const CliRun run = runCli({"slim", "--overwrite", source.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "take.wav: Could not read source file\nRemoved empty tracks from 0 file(s). 1 failed.\n");
    EXPECT_EQ(readFile(source), take);
}

}  // namespace
}  // namespace tracksieve
