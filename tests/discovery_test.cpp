#include <gtest/gtest.h>

#include <algorithm>

#include "child_process.h"
#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::constantFrames;
using testing::holdsUnprivileged;
using testing::TempDir;
using testing::WavBuilder;

std::string polyWav(std::uint16_t channels = 4) {
    return WavBuilder().fmt({.channels = channels}).data(constantFrames(16, channels, 8, 1000)).bytes();
}

class Discovery : public ::testing::Test {
protected:
    void writePoly(std::initializer_list<const char*> names, std::uint16_t channels = 4) const {
        for (const char* name : names) dir_.write(name, polyWav(channels));
    }
    std::vector<fs::path> under(std::initializer_list<const char*> names) const {
        std::vector<fs::path> paths;
        for (const char* name : names) paths.push_back(dir_.path() / name);
        return paths;
    }

    TempDir dir_;
};

TEST_F(Discovery, KeepsVisibleWavFilesThatOpenWithEnoughChannels) {
    writePoly({"A.WAV", "b.wav", "c.Wav", "._b.wav", ".hidden.wav", ".wav", "c.wave", "d.wav.bak", "e.wa"});
    writePoly({"mono.wav"}, 1);
    dir_.write("broken.wav", "RIFF\x04\0\0\0WAVE");
    dir_.write("empty.wav", "");
    fs::create_directory(dir_.path() / "folder.wav");

    const auto polyphonic = under({"A.WAV", "b.wav", "c.Wav"});
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), polyphonic);
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2), polyphonic);
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 4), polyphonic);
    EXPECT_TRUE(discoverPolyPaths(dir_.path(), false, 5).empty());
    // The minimum is compared as a signed number: none or a negative one lets every file through.
    for (int minimum : {1, 0, -1}) {
        EXPECT_EQ(discoverPolyPaths(dir_.path(), false, minimum), under({"A.WAV", "b.wav", "c.Wav", "mono.wav"}))
            << minimum;
    }
}

TEST_F(Discovery, SortsByFileNameBytesWithoutCaseFoldingOrNumericOrder) {
    writePoly({"a.wav", "\xC3\xA9t\xC3\xA9.wav", "T2.wav", "\xFF.wav", "a.wav.wav", "B.wav", "z.wav", "T10.wav"});
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), under({"B.wav", "T10.wav", "T2.wav", "a.wav", "a.wav.wav",
                                                               "z.wav", "\xC3\xA9t\xC3\xA9.wav", "\xFF.wav"}));
}

TEST_F(Discovery, RecursionReachesSubfoldersAndHiddenFoldersAndSortsByNameAlone) {
    writePoly({"b.wav", "sub/a.wav", ".hidden/c.wav", "sub/deeper/d.wav", "sub/._e.wav"});

    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), under({"b.wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2),
              under({"sub/a.wav", "b.wav", ".hidden/c.wav", "sub/deeper/d.wav"}));
}

TEST_F(Discovery, EqualNamesInDifferentFoldersAreAllKept) {
    writePoly({"day1/T001.WAV", "day2/T001.WAV"});
    std::vector<fs::path> found = discoverPolyPaths(dir_.path(), true, 2);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, under({"day1/T001.WAV", "day2/T001.WAV"}));
}

TEST_F(Discovery, EqualNamesFollowTheirFoldersOrder) {
    writePoly({"day3/T001.WAV", "day1/T001.WAV", "day2/T001.WAV", "day2/T000.WAV"});
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2),
              under({"day2/T000.WAV", "day1/T001.WAV", "day2/T001.WAV", "day3/T001.WAV"}));
}

TEST_F(Discovery, SymbolicLinksToFilesAreListedUnderTheLinkButFoldersAreNotEntered) {
    TempDir elsewhere;
    const fs::path outside = elsewhere.write("real.wav", polyWav());
    elsewhere.write("folder/inside.wav", polyWav());
    writePoly({"local.wav"});
    fs::create_symlink(outside, dir_.path() / "link.wav");
    fs::create_symlink(dir_.path() / "local.wav", dir_.path() / "twin.wav");
    fs::create_symlink(elsewhere.path() / "missing.wav", dir_.path() / "dangling.wav");
    fs::create_directory_symlink(elsewhere.path() / "folder", dir_.path() / "linked-folder");

    const auto expected = under({"link.wav", "local.wav", "twin.wav"});
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), expected);
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2), expected);
}

TEST_F(Discovery, APathThatIsNoDirectoryYieldsNothing) {
    const fs::path file = dir_.write("take.wav", polyWav());
    for (const fs::path& path : {file, dir_.path() / "missing", file / "below-a-file"}) {
        EXPECT_TRUE(discoverPolyPaths(path, false, 2).empty()) << path;
        EXPECT_TRUE(discoverPolyPaths(path, true, 2).empty()) << path;
    }
}

TEST_F(Discovery, ALinkLoopIsAFilesystemError) {
    fs::create_symlink(dir_.path() / "a", dir_.path() / "b");
    fs::create_symlink(dir_.path() / "b", dir_.path() / "a");
    EXPECT_THROW(discoverPolyPaths(dir_.path() / "a", true, 2), fs::filesystem_error);
}

TEST_F(Discovery, FoldersThatCannotBeOpenedAreSkipped) {
    writePoly({"a.wav", "locked/b.wav", "open/c.wav"});
    fs::permissions(dir_.path() / "locked", fs::perms::none);

    EXPECT_TRUE(holdsUnprivileged([&] {
        return discoverPolyPaths(dir_.path(), true, 2) == under({"a.wav", "open/c.wav"}) &&
               discoverPolyPaths(dir_.path() / "locked", true, 2).empty() &&
               discoverPolyPaths(dir_.path() / "locked", false, 2).empty();
    }));
    fs::permissions(dir_.path() / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace tracksieve
