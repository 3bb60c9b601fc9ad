// Broken and hostile files as cards and archives hold them. Each must come back as a complete
// record or a failed one with the reader's message, and a scan of its folder must still show
// every other file in full: no single file may cost the user the rest of the list.
#include <gtest/gtest.h>

#include "child_process.h"
#include "riff_reading.h"
#include "tracksieve/analysis.h"
#include "tracksieve/scan.h"
#include "tracksieve/slim_writer.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::bextBody;
using testing::constantFrames;
using testing::Format;
using testing::pcmFrames;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;

const std::string kTrackList =
    "<BWFXML><TRACK_LIST><TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom</NAME></TRACK>"
    "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Lav</NAME></TRACK></TRACK_LIST></BWFXML>";

// 4800 frames (0.1 s at 48 kHz): channel 1 carries a level, channel 2 is silent throughout, so
// the analysis reads every frame.
std::string takeFrames(std::size_t frames = 4800) {
    return pcmFrames(16, std::vector<std::vector<std::int32_t>>(frames, {1000, 0}));
}

// bext, fmt, data, then iXML after the audio, as several recorders and DAWs write it.
std::string take() {
    return WavBuilder()
        .chunk("bext", bextBody(172'800'000))
        .fmt({})
        .data(takeFrames())
        .chunk("iXML", kTrackList)
        .bytes();
}

std::size_t offsetOf(const std::string& bytes, std::string_view id) { return bytes.find(id); }

std::string withU32At(std::string bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// The size field of the first chunk with this id set to `value`.
std::string withChunkSize(const std::string& bytes, std::string_view id, std::uint32_t value) {
    return withU32At(bytes, offsetOf(bytes, id) + 4, value);
}

std::string cutAt(const std::string& bytes, std::size_t length) { return bytes.substr(0, length); }

struct Hostile {
    std::string what;
    std::string bytes;
    std::string error;  // empty for a complete record
    bool listed;        // a scan shows it: it opens as a WAV file with two or more channels
    double durationSeconds = 0.0;
};

class HostileReading : public ::testing::Test {
protected:
    // Analyses the file alone, then scans it beside a good file: the record must be as
    // expected, the good file's record complete, and the hostile file untouched. Returns the
    // record of the file alone.
    PolyWavInfo check(const Hostile& c) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir;
        const fs::path path = dir.write("a-hostile.wav", c.bytes);
        const fs::path good = dir.write("z-good.wav", take());

        const PolyWavInfo info = analyzePolyWav(path, kThreshold);
        EXPECT_EQ(info.error, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(info.tracks.size(), static_cast<std::size_t>(info.channels));
            for (std::size_t i = 0; i < info.tracks.size(); ++i) EXPECT_EQ(info.tracks[i].index, static_cast<int>(i));
            EXPECT_DOUBLE_EQ(info.durationSeconds, c.durationSeconds);
        } else {
            EXPECT_EQ(info.channels, 0);
            EXPECT_TRUE(info.tracks.empty());
        }

        const std::vector<PolyWavInfo> records = scanDirectory(dir.path(), false, kThreshold, 2, {});
        EXPECT_EQ(records.size(), c.listed ? 2u : 1u);
        if (c.listed && records.size() == 2) {
            EXPECT_EQ(records.front().error, c.error);
        }
        if (!records.empty()) {
            EXPECT_EQ(records.back().path, good);
            EXPECT_EQ(records.back().error, "");
            EXPECT_EQ(records.back().tracks.size(), 2u);
        }
        EXPECT_EQ(testing::readFile(path), c.bytes);
        return info;
    }
};

TEST_F(HostileReading, TheUntouchedTakeIsComplete) {
    const PolyWavInfo info = check({"untouched", take(), "", true, 0.1});
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_EQ(info.tracks[0].name, "Boom");
    EXPECT_EQ(info.tracks[1].name, "Lav");
    EXPECT_TRUE(info.tracks[1].empty);
    EXPECT_EQ(info.timecode, "01:00:00:00");
}

TEST_F(HostileReading, TruncatedAnywhere) {
    const std::string whole = take();
    const std::size_t fmt = offsetOf(whole, "fmt ");
    const std::size_t data = offsetOf(whole, "data");
    const std::size_t ixml = offsetOf(whole, "iXML");
    const Hostile cases[] = {
        {"nothing at all", "", "Not a RIFF/WAVE file", false},
        {"inside the RIFF header", cutAt(whole, 11), "Not a RIFF/WAVE file", false},
        {"after the RIFF header", cutAt(whole, 12), "Missing fmt or data chunk", false},
        {"inside the bext header", cutAt(whole, 17), "Missing fmt or data chunk", false},
        {"inside the bext body", cutAt(whole, 100), "Missing fmt or data chunk", false},
        {"inside the fmt header", cutAt(whole, fmt + 6), "Missing fmt or data chunk", false},
        {"inside the fmt body", cutAt(whole, fmt + 8 + 15), "Invalid fmt chunk", false},
        {"inside the data header", cutAt(whole, data + 7), "Missing fmt or data chunk", false},
        {"right after the data header", cutAt(whole, data + 8), "", true, 0.0},
        {"inside a frame", cutAt(whole, data + 8 + 4 * 2400 + 3), "", true, 0.05},
        {"inside the chunk header after data", cutAt(whole, ixml + 5), "", true, 0.1},
        {"inside the chunk body after data", cutAt(whole, ixml + 8 + 40), "", true, 0.1},
    };
    for (const Hostile& c : cases) check(c);
}

TEST_F(HostileReading, SizesOfZeroAndAllOnesInEverySizeField) {
    const std::string whole = take();
    const std::size_t ixmlAfterData = offsetOf(whole, "iXML");
    // The same chunks, but with the iXML chunk before the audio, where a bad size hides the rest.
    const std::string ixmlFirst =
        WavBuilder().chunk("iXML", kTrackList).chunk("bext", bextBody(0)).fmt({}).data(takeFrames()).bytes();
    const std::string junkFirst = WavBuilder().chunk("JUNK", std::string(6, '\0')).fmt({}).data(takeFrames()).bytes();
    const Hostile cases[] = {
        {"RIFF size 0", withU32At(whole, 4, 0), "", true, 0.1},
        {"RIFF size all ones", withU32At(whole, 4, 0xFFFFFFFF), "", true, 0.1},
        {"bext size 0", withChunkSize(whole, "bext", 0), "Missing fmt or data chunk", false},
        {"bext size all ones", withChunkSize(whole, "bext", 0xFFFFFFFF), "Missing fmt or data chunk", false},
        {"fmt size 0", withChunkSize(whole, "fmt ", 0), "Invalid fmt chunk", false},
        {"fmt size all ones", withChunkSize(whole, "fmt ", 0xFFFFFFFF), "Invalid fmt chunk", false},
        // Both read as an unfinalised take: the chunk after the audio then counts as frames,
        // but only whole ones.
        {"data size 0", withChunkSize(whole, "data", 0), "", true,
         static_cast<double>((whole.size() - offsetOf(whole, "data") - 8) / 4) / 48000},
        {"data size all ones", withChunkSize(whole, "data", 0xFFFFFFFF), "", true,
         static_cast<double>((whole.size() - offsetOf(whole, "data") - 8) / 4) / 48000},
        {"iXML size 0 after data", withU32At(whole, ixmlAfterData + 4, 0), "", true, 0.1},
        {"iXML size all ones after data", withU32At(whole, ixmlAfterData + 4, 0xFFFFFFFF), "", true, 0.1},
        {"iXML size 0 first", withChunkSize(ixmlFirst, "iXML", 0), "Missing fmt or data chunk", false},
        {"iXML size all ones first", withChunkSize(ixmlFirst, "iXML", 0xFFFFFFFF), "Missing fmt or data chunk", false},
        {"unknown chunk size 0", withChunkSize(junkFirst, "JUNK", 0), "Missing fmt or data chunk", false},
        {"unknown chunk size all ones", withChunkSize(junkFirst, "JUNK", 0xFFFFFFFF), "Missing fmt or data chunk",
         false},
    };
    for (const Hostile& c : cases) check(c);
}

// The length shown for a crashed take is the length its slim copy really has.
TEST_F(HostileReading, ACrashedTakeShowsTheLengthOfItsSlimCopy) {
    const std::string crashed = WavBuilder()
                                    .chunk("bext", bextBody(0))
                                    .fmt({})
                                    .chunkDeclaring("data", takeFrames() + "\x01\x02", 0xFFFFFFFF)
                                    .bytes();
    const PolyWavInfo source = check({"crashed take", crashed, "", true, 0.1});
    testing::TempDir dir;
    const fs::path copy = compressPolyWav(dir.write("crashed.wav", crashed), false, kThreshold, {});
    const PolyWavInfo slim = analyzePolyWav(copy, kThreshold);
    EXPECT_EQ(slim.error, "");
    EXPECT_EQ(slim.channels, 1);
    EXPECT_DOUBLE_EQ(slim.durationSeconds, source.durationSeconds);
}

TEST_F(HostileReading, OddSizesWithoutThePadByte) {
    const std::string nineByteFrames = constantFrames(24, 3, 3, 0x1000);
    const std::string oddTrackList = kTrackList + (kTrackList.size() % 2 == 0 ? " " : "");
    const Hostile cases[] = {
        // Sound Devices mono splits end with odd-sized data and no pad byte.
        {"odd data ending the file",
         WavBuilder().fmt({.channels = 3, .bitsPerSample = 24}).chunkDeclaring("data", nineByteFrames, 27).bytes(), "",
         true, 3.0 / 48000},
        {"odd iXML ending the file",
         WavBuilder()
             .fmt({})
             .data(takeFrames())
             .chunkDeclaring("iXML", oddTrackList, static_cast<std::uint32_t>(oddTrackList.size()))
             .bytes(),
         "", true, 0.1},
        // Every RIFF reader takes the pad byte for granted; a chunk that left it out in the
        // middle of the file shifts every header after it, and the file is not a WAV file.
        {"odd chunk before fmt", WavBuilder().chunkDeclaring("JUNK", "abc", 3).fmt({}).data(takeFrames()).bytes(),
         "Missing fmt or data chunk", false},
    };
    for (const Hostile& c : cases) check(c);
}

TEST_F(HostileReading, ChunksOutOfOrderOrTwice) {
    const std::string laterTake = pcmFrames(16, std::vector<std::vector<std::int32_t>>(2400, {0, 1000}));
    const Hostile cases[] = {
        {"fmt after data", WavBuilder().data(takeFrames()).fmt({}).bytes(), "", true, 0.1},
        {"two data chunks: the later one counts", WavBuilder().fmt({}).data(takeFrames()).data(laterTake).bytes(), "",
         true, 0.05},
        {"two fmt chunks: the later one counts",
         WavBuilder().fmt({.channels = 4}).fmt({.sampleRate = 96000}).data(takeFrames()).bytes(), "", true, 0.05},
        {"no data chunk", WavBuilder().fmt({}).chunk("LIST", takeFrames()).bytes(), "Missing fmt or data chunk", false},
    };
    std::vector<PolyWavInfo> records;
    for (const Hostile& c : cases) records.push_back(check(c));
    ASSERT_EQ(records[1].tracks.size(), 2u);
    EXPECT_TRUE(records[1].tracks[0].empty);
    EXPECT_FALSE(records[1].tracks[1].empty);
}

TEST_F(HostileReading, FormatValuesAtTheirLimits) {
    const auto withFormat = [](const Format& format, std::size_t dataBytes) {
        return WavBuilder().fmt(format).data(std::string(dataBytes, '\x20')).bytes();
    };
    const Hostile cases[] = {
        // 65535 channels of 16 bits cannot fit any frame a 16-bit block alignment can describe.
        {"65535 channels", withFormat({.channels = 65535, .blockAlign = 65535}, 2 * 65535), "Invalid format", true},
        {"32767 channels", withFormat({.channels = 32767}, 3 * 65534), "", true, 3.0 / 48000},
        {"no channels", withFormat({.channels = 0, .blockAlign = 4}, 40), "Invalid format", false},
        {"block alignment 0", withFormat({.blockAlign = 0}, 40), "Invalid format", false},
        {"block alignment 65535, padding at the end", withFormat({.blockAlign = 65535}, 2 * 65535), "", true,
         2.0 / 48000},
        {"block alignment 65534 for 3 channels", withFormat({.channels = 3, .blockAlign = 65534}, 2 * 65534), "", true,
         2.0 / 48000},
        {"block alignment smaller than the samples", withFormat({.blockAlign = 3}, 40), "Invalid format", true},
        {"24 bits in 4-byte containers", withFormat({.bitsPerSample = 24, .blockAlign = 8}, 80), "Invalid format",
         true},
        {"16 bits in 4-byte containers", withFormat({.channels = 4, .blockAlign = 16}, 160), "Invalid format", true},
        {"0 bits per sample", withFormat({.bitsPerSample = 0, .blockAlign = 4}, 40), "Invalid format", false},
        {"sample rate 0",
         WavBuilder().chunk("bext", bextBody(172'800'000)).fmt({.sampleRate = 0}).data(takeFrames()).bytes(), "", true,
         0.0},
    };
    std::vector<PolyWavInfo> records;
    for (const Hostile& c : cases) records.push_back(check(c));
    const PolyWavInfo& wide = records[1];
    ASSERT_EQ(wide.tracks.size(), 32767u);
    EXPECT_EQ(wide.tracks.back().name, "Track 32767");
    EXPECT_EQ(wide.tracks.back().peak, 0x2020 / 32768.0);
    EXPECT_EQ(records.back().timecode, "") << "no sample rate, no timecode";
}

TEST_F(HostileReading, MetadataOfAbsurdSizeOrContent) {
    std::string hundredThousandTracks = "<BWFXML><TRACK_LIST>";
    for (int i = 0; i < 100'000; ++i) hundredThousandTracks += "<TRACK><NAME>T" + std::to_string(i) + "</NAME></TRACK>";
    hundredThousandTracks += "</TRACK_LIST></BWFXML>";
    const std::string sixtyFourMegabytes = std::string(64 << 20, ' ') + kTrackList;
    const std::string unclosedOpenings(1 << 20, '<');
    const auto withIxml = [](const std::string& ixml) {
        return WavBuilder().fmt({}).data(takeFrames()).chunk("iXML", ixml).bytes();
    };
    const std::pair<Hostile, std::vector<std::string>> cases[] = {
        {{"64 MB iXML", withIxml(sixtyFourMegabytes), "", true, 0.1}, {"Boom", "Lav"}},
        {{"iXML of only NULs", withIxml(std::string(1 << 16, '\0')), "", true, 0.1}, {"Track 1", "Track 2"}},
        {{"100 000 TRACK elements", withIxml(hundredThousandTracks), "", true, 0.1}, {"T0", "T1"}},
        {{"a megabyte of opening brackets", withIxml(unclosedOpenings + kTrackList), "", true, 0.1}, {"Boom", "Lav"}},
    };
    for (const auto& [c, names] : cases) {
        const PolyWavInfo info = check(c);
        ASSERT_EQ(info.tracks.size(), 2u) << c.what;
        EXPECT_EQ(info.tracks[0].name, names[0]) << c.what;
        EXPECT_EQ(info.tracks[1].name, names[1]) << c.what;
    }
}

// A file of millions of empty chunks would cost a record each in the slim and minutes in both
// walks; recordings hold a few dozen, so past the named limit the file fails with a message.
TEST_F(HostileReading, ChunksBeyondTheLimitFailTheFile) {
    const auto withEmptyChunks = [](std::size_t count) {
        std::string bytes = WavBuilder().fmt({}).data(takeFrames()).bytes();
        for (std::size_t i = 0; i < count; ++i) bytes.append("JUNK\0\0\0\0", 8);
        return bytes;
    };
    const std::size_t fillUp = kMaxChunks - 2;  // besides fmt and data
    const Hostile cases[] = {
        {"as many chunks as the limit", withEmptyChunks(fillUp), "", true, 0.1},
        {"one chunk more", withEmptyChunks(fillUp + 1), "Too many chunks (more than 10000)", true},
    };
    for (const Hostile& c : cases) {
        check(c);
        testing::TempDir dir;
        const fs::path source = dir.write("take.wav", c.bytes);
        if (c.error.empty()) {
            EXPECT_NO_THROW(compressPolyWav(source, true, kThreshold)) << c.what;
        } else {
            EXPECT_THROW(compressPolyWav(source, true, kThreshold), std::runtime_error) << c.what;
            EXPECT_EQ(testing::readFile(source), c.bytes) << c.what;
        }
    }
}

// A block of 48000 frames of 65534 bytes each would take 3 GB; such files are a few megabytes.
std::string paddedWideFrames() {
    return WavBuilder().fmt({.channels = 3, .blockAlign = 65534}).data(std::string(20 * 65534, '\x20')).bytes();
}
std::string manyChannels() {
    return WavBuilder().fmt({.channels = 32767}).data(std::string(55 * 65534, '\x20')).bytes();
}

TEST_F(HostileReading, WideFramesAreReadInBoundedMemory) {
    if (!testing::addressSpaceIsLimitable()) GTEST_SKIP() << "address space cannot be limited here";
    testing::TempDir dir;
    const fs::path padded = dir.write("padded.wav", paddedWideFrames());
    const fs::path wide = dir.write("wide.wav", manyChannels());
    EXPECT_TRUE(testing::holdsWithinMemory(64 << 20, [&] {
        const PolyWavInfo paddedInfo = analyzePolyWav(padded, kThreshold);
        const PolyWavInfo wideInfo = analyzePolyWav(wide, kThreshold);
        const std::vector<PolyWavInfo> records = scanDirectory(dir.path(), false, kThreshold, 2, {});
        return paddedInfo.error.empty() && paddedInfo.activeCount() == 3 && wideInfo.error.empty() &&
               wideInfo.activeCount() == 32767 && records.size() == 2 && records[0].error.empty() &&
               records[1].error.empty();
    }));
}

// Where memory runs out all the same, only the file that needed it fails, whether that happens
// while the folder is listed or while the file is analysed.
TEST_F(HostileReading, ExhaustedMemoryFailsOneFileNotTheScan) {
    if (!testing::addressSpaceIsLimitable()) GTEST_SKIP() << "address space cannot be limited here";
    testing::TempDir dir;
    dir.write("a.wav", take());
    dir.write("big-ixml.wav", WavBuilder().fmt({}).data(takeFrames()).chunk("iXML", std::string(8 << 20, ' ')).bytes());
    dir.write("wide.wav", manyChannels());
    dir.write("z.wav", take());
    EXPECT_TRUE(testing::holdsWithinMemory(2 << 20, [&] {
        const std::vector<PolyWavInfo> records = scanDirectory(dir.path(), false, kThreshold, 2, {});
        const auto failed = [](const PolyWavInfo& r) { return r.error == "Not enough memory to analyse this file"; };
        return records.size() == 4 && records[0].error.empty() && failed(records[1]) && failed(records[2]) &&
               records[2].path.filename() == "wide.wav" && records[3].error.empty() && records[3].tracks.size() == 2;
    }));
}

// Nothing vanishes without a word: a *.wav file that cannot be opened is listed with the
// reader's message, a folder that cannot be opened is named; files that open and are no
// polyphonic WAV file, and unreadable files of other names, stay out.
TEST_F(HostileReading, UnreadableFilesAreListedAndUnreadableFoldersNamed) {
    testing::TempDir dir;
    dir.write("a.wav", take());
    const fs::path locked = dir.write("locked.WAV", take());
    const fs::path lockedText = dir.write("locked.txt", take());
    dir.write("notes.wav", "not a WAV file");
    dir.write("shut/b.wav", take());
    dir.write("open/c.wav", take());
    for (const fs::path& path : {locked, lockedText, dir.path() / "shut"}) fs::permissions(path, fs::perms::none);
    struct Expected {
        bool recursive;
        std::vector<std::pair<std::string, std::string>> records;  // file name, error
        std::vector<fs::path> unreadableFolders;
    };
    const Expected cases[] = {
        {false, {{"a.wav", ""}, {"locked.WAV", "Could not open file"}}, {}},
        {true, {{"a.wav", ""}, {"c.wav", ""}, {"locked.WAV", "Could not open file"}}, {dir.path() / "shut"}},
    };
    for (const Expected& c : cases) {
        EXPECT_TRUE(testing::holdsUnprivileged([&] {
            const ScanOutcome scan = scanFolder(dir.path(), c.recursive, kThreshold, 2, {});
            std::vector<std::pair<std::string, std::string>> records;
            for (const PolyWavInfo& r : scan.records) records.emplace_back(r.path.filename().string(), r.error);
            return records == c.records && scan.unreadableFolders == c.unreadableFolders &&
                   std::all_of(scan.records.begin(), scan.records.end(),
                               [](const PolyWavInfo& r) { return r.unreadable() == !r.error.empty(); });
        })) << "recursive "
            << c.recursive;
    }
    fs::permissions(dir.path() / "shut", fs::perms::owner_all);
}

// Out of descriptors, the folder itself cannot be opened: named, not an empty folder.
TEST_F(HostileReading, AFolderThatCannotBeOpenedForLackOfDescriptorsIsNamed) {
    testing::TempDir dir;
    dir.write("a.wav", take());
    EXPECT_TRUE(testing::holdsWithOpenFiles(0, [&] {
        const Discovery found = discoverPolyFiles(dir.path(), true, 2);
        return found.paths.empty() && found.unreadableFolders == std::vector<fs::path>{dir.path()};
    }));
}

// Files that go between the listing and their analysis (a card pulled, a folder moved away)
// become failed records; the files before and after them are still analysed.
TEST_F(HostileReading, AFolderThatVanishesDuringTheScan) {
    testing::TempDir dir;
    dir.write("a.wav", take());
    dir.write("day2/b.wav", take());
    dir.write("day2/c.wav", take());
    dir.write("d.wav", take());
    const std::vector<PolyWavInfo> records =
        scanDirectory(dir.path(), true, kThreshold, 2, [&](int done, int, const fs::path&) {
            if (done == 1) fs::remove_all(dir.path() / "day2");
        });
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].error, "");
    EXPECT_EQ(records[1].error, "Could not open file");
    EXPECT_EQ(records[2].error, "Could not open file");
    EXPECT_EQ(records[3].error, "");
    EXPECT_EQ(records[3].tracks.size(), 2u);
}

// A folder that fails to open (taken away during the walk, out of descriptors) costs its own
// files, never those of the folders listed after it. Here the process may hold only a few
// files open, and every folder holds a chain of subfolders deeper than that.
TEST_F(HostileReading, AFolderThatFailsToOpenCostsOnlyItsOwnFiles) {
    testing::TempDir dir;
    std::vector<fs::path> expected;
    for (char day = '1'; day <= '8'; ++day) {
        const fs::path folder = dir.path() / (std::string("day") + day);
        expected.push_back(dir.write(folder / (std::string("take") + day + ".wav"), take()));
        fs::path chain = folder;
        for (int level = 0; level < 12; ++level) chain /= "deeper";
        fs::create_directories(chain);
    }
    EXPECT_TRUE(testing::holdsWithOpenFiles(8, [&] { return discoverPolyPaths(dir.path(), true, 2) == expected; }));
}

}  // namespace
}  // namespace tracksieve
