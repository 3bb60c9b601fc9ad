#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::constantFrames;
using testing::TempDir;
using testing::WavBuilder;

std::string polyWav(std::uint16_t channels = 4) {
    return WavBuilder().fmt({.channels = channels}).data(constantFrames(16, channels, 8, 1000)).bytes();
}

class Discovery : public ::testing::Test {
protected:
    fs::path writePoly(const fs::path& name, std::uint16_t channels = 4) const {
        return dir_.write(name, polyWav(channels));
    }
    std::vector<fs::path> under(std::initializer_list<const char*> names) const {
        std::vector<fs::path> paths;
        for (const char* name : names) paths.push_back(dir_.path() / name);
        return paths;
    }

    TempDir dir_;
};

TEST_F(Discovery, KeepsVisibleWavFilesThatOpenWithEnoughChannels) {
    writePoly("A.WAV");
    writePoly("b.wav");
    writePoly("c.Wav");
    writePoly("._b.wav");
    writePoly(".hidden.wav");
    writePoly(".wav");
    writePoly("c.wave");
    writePoly("d.wav.bak");
    writePoly("e.wa");
    writePoly("mono.wav", 1);
    dir_.write("broken.wav", "RIFF\x04\0\0\0WAVE");
    dir_.write("empty.wav", "");
    fs::create_directory(dir_.path() / "folder.wav");

    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), under({"A.WAV", "b.wav", "c.Wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2), under({"A.WAV", "b.wav", "c.Wav"}));
}

TEST_F(Discovery, ChannelMinimumIsASignedComparison) {
    writePoly("mono.wav", 1);
    writePoly("quad.wav", 4);
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 1), under({"mono.wav", "quad.wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 0), under({"mono.wav", "quad.wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, -1), under({"mono.wav", "quad.wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 4), under({"quad.wav"}));
    EXPECT_TRUE(discoverPolyPaths(dir_.path(), false, 5).empty());
}

TEST_F(Discovery, SortsByFileNameBytesWithoutCaseFoldingOrNumericOrder) {
    for (const char* name :
         {"a.wav", "\xC3\xA9t\xC3\xA9.wav", "T2.wav", "\xFF.wav", "a.wav.wav", "B.wav", "z.wav", "T10.wav"}) {
        writePoly(name);
    }
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2),
              under({"B.wav", "T10.wav", "T2.wav", "a.wav", "a.wav.wav", "z.wav", "\xC3\xA9t\xC3\xA9.wav", "\xFF.wav"}));
}

TEST_F(Discovery, RecursionReachesSubfoldersAndHiddenFoldersAndSortsByNameAlone) {
    writePoly("b.wav");
    writePoly("sub/a.wav");
    writePoly(".hidden/c.wav");
    writePoly("sub/deeper/d.wav");
    writePoly("sub/._e.wav");

    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), under({"b.wav"}));
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2),
              under({"sub/a.wav", "b.wav", ".hidden/c.wav", "sub/deeper/d.wav"}));
}

TEST_F(Discovery, EqualNamesInDifferentFoldersAreAllKept) {
    writePoly("day1/T001.WAV");
    writePoly("day2/T001.WAV");
    writePoly("A.wav");
    std::vector<fs::path> found = discoverPolyPaths(dir_.path(), true, 2);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], dir_.path() / "A.wav");
    std::sort(found.begin() + 1, found.end());
    EXPECT_EQ(found, under({"A.wav", "day1/T001.WAV", "day2/T001.WAV"}));
}

TEST_F(Discovery, SymbolicLinksToFilesAreListedUnderTheLinkButFoldersAreNotEntered) {
    TempDir elsewhere;
    const fs::path outside = elsewhere.write("real.wav", polyWav());
    elsewhere.write("folder/inside.wav", polyWav());
    const fs::path local = writePoly("local.wav");
    fs::create_symlink(outside, dir_.path() / "link.wav");
    fs::create_symlink(local, dir_.path() / "twin.wav");
    fs::create_symlink(elsewhere.path() / "missing.wav", dir_.path() / "dangling.wav");
    fs::create_directory_symlink(elsewhere.path() / "folder", dir_.path() / "linked-folder");

    const auto expected = under({"link.wav", "local.wav", "twin.wav"});
    EXPECT_EQ(discoverPolyPaths(dir_.path(), false, 2), expected);
    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2), expected);
}

TEST_F(Discovery, APathThatIsNoDirectoryYieldsNothing) {
    const fs::path file = writePoly("take.wav");
    EXPECT_TRUE(discoverPolyPaths(file, false, 2).empty());
    EXPECT_TRUE(discoverPolyPaths(file, true, 2).empty());
    EXPECT_TRUE(discoverPolyPaths(dir_.path() / "missing", true, 2).empty());
    EXPECT_TRUE(discoverPolyPaths(file / "below-a-file", false, 2).empty());
}

TEST_F(Discovery, ALinkLoopIsAFilesystemError) {
    fs::create_symlink(dir_.path() / "a", dir_.path() / "b");
    fs::create_symlink(dir_.path() / "b", dir_.path() / "a");
    EXPECT_THROW(discoverPolyPaths(dir_.path() / "a", true, 2), fs::filesystem_error);
}

TEST_F(Discovery, FoldersThatCannotBeOpenedAreSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    writePoly("a.wav");
    writePoly("locked/b.wav");
    writePoly("open/c.wav");
    fs::permissions(dir_.path() / "locked", fs::perms::none);

    EXPECT_EQ(discoverPolyPaths(dir_.path(), true, 2), under({"a.wav", "open/c.wav"}));
    EXPECT_TRUE(discoverPolyPaths(dir_.path() / "locked", true, 2).empty());
    EXPECT_TRUE(discoverPolyPaths(dir_.path() / "locked", false, 2).empty());
    fs::permissions(dir_.path() / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace tracksieve
