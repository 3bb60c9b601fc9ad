#include "output_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::readFile;

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// `head`, `count` times `repeated`, then `tail`.
std::string spelled(std::string head, std::size_t count, char repeated, std::string_view tail) {
    head.append(count, repeated);
    head.append(tail);
    return head;
}

TEST(OutputFileNames, TemporaryNamesAreHiddenOwnedByOneRunAndFitTheNameLimit) {
    const std::string e = "\xC3\xA9";  // é, two bytes
    struct Case {
        std::string label;
        std::string finalName;
        std::string temporaryName;
    };
    const std::vector<Case> cases = {
        {"a short name", "A_SLIM.WAV", ".A_SLIM_compressing-0123abcd.WAV"},
        {"no extension", "take", ".take_compressing-0123abcd"},
        {"233 bytes fit whole", spelled("", 229, 'n', ".wav"), spelled(".", 229, 'n', "_compressing-0123abcd.wav")},
        {"239 bytes", spelled("", 235, 'n', ".wav"), spelled(".", 229, 'n', "_compressing-0123abcd.wav")},
        {"255 bytes", spelled("", 251, 'n', ".wav"), spelled(".", 229, 'n', "_compressing-0123abcd.wav")},
        {"a cut between characters", spelled("", 228, 'n', e + e + ".wav"),
         spelled(".", 228, 'n', "_compressing-0123abcd.wav")},
        {"an extension longer than the room", spelled("a.", 252, 'x', ""),
         spelled("._compressing-0123abcd.", 232, 'x', "")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path name = OutputFile::temporaryNameFor(c.finalName, "0123abcd");
        EXPECT_EQ(name.string(), c.temporaryName);
        EXPECT_LE(name.string().size(), 255u);
        EXPECT_TRUE(OutputFile::isTemporaryNameFor(name, c.finalName));
    }

    const std::vector<std::pair<std::string, bool>> others = {
        {".A_compressing.wav", true},  // an earlier version's
        {".A_compressing-99999999.wav", true},
        {".A_compressing-9999999.wav", false},
        {".A_compressing-999999999.wav", false},
        {".A_compressing-ABCDEF01.wav", false},
        {".A_SLIM_compressing-01234567.wav", false},
        {".A_compressing-01234567.WAV", false},
        {"A_compressing-01234567.wav", false},
        {".A_compressing-01234567.wav.part", false},
    };
    for (const auto& [name, matches] : others)
        EXPECT_EQ(OutputFile::isTemporaryNameFor(name, "A.wav"), matches) << name;
}

TEST(OutputFileLeftovers, OnlyFilesNoLiveRunHoldsAreRemoved) {
    const testing::TempDir dir;
    const fs::path finalPath = dir.path() / "A.wav";
    dir.write("A.wav", "the original");
    dir.write(".A_compressing.wav", "left by an earlier version");
    dir.write(".A_compressing-0000abcd.wav", "left by a killed run");
    dir.write(".B_compressing-0000abcd.wav", "another file's leftover");
    fs::create_directory(dir.path() / ".A_compressing-0000dddd.wav");
    fs::create_symlink(dir.path() / "A.wav", dir.path() / ".A_compressing-0000eeee.wav");

    OutputFile first(finalPath, 0644);
    first.write("first", 5);
    EXPECT_THAT(namesIn(dir.path()),
                ElementsAre(".A_compressing-0000dddd.wav", ::testing::StartsWith(".A_compressing-"),
                            ".B_compressing-0000abcd.wav", "A.wav"));
    {
        OutputFile second(finalPath, 0644);
        second.write("second", 6);
        EXPECT_EQ(namesIn(dir.path()).size(), 5u) << "the first run's file stays";
    }
    first.commit();
    EXPECT_EQ(readFile(finalPath), "first");
    EXPECT_EQ(readFile(dir.path() / ".B_compressing-0000abcd.wav"), "another file's leftover");
    EXPECT_THAT(namesIn(dir.path()),
                ElementsAre(".A_compressing-0000dddd.wav", ".B_compressing-0000abcd.wav", "A.wav"));
}

TEST(OutputFileLeftovers, AFolderRenamedMeanwhileKeepsNothing) {
    const testing::TempDir dir;
    fs::create_directory(dir.path() / "day1");
    {
        OutputFile abandoned(dir.path() / "day1" / "A.wav", 0644);
        abandoned.write("unfinished", 10);
        fs::rename(dir.path() / "day1", dir.path() / "day1-renamed");
    }
    EXPECT_TRUE(fs::is_empty(dir.path() / "day1-renamed"));

    // A file completed meanwhile lands in the folder it was begun in, under its new name.
    OutputFile completed(dir.path() / "day1-renamed" / "A.wav", 0644);
    completed.write("complete", 8);
    fs::rename(dir.path() / "day1-renamed", dir.path() / "day1");
    completed.commit();
    EXPECT_THAT(namesIn(dir.path() / "day1"), ElementsAre("A.wav"));
}

}  // namespace
}  // namespace tracksieve
