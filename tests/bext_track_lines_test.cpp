#include "bext_track_lines.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tracksieve {
namespace {

using namespace std::string_literals;

// The description field (256 bytes) of a Sound Devices 702T take of two tracks.
const std::string kSoundDevicesHead =
    "sSPEED=023.976-ND\r\nsTAKE=1\r\nsUBITS=$12311801\r\nsSWVER=2.67\r\nsPROJECT=BMH\r\nsSCENE=A101\r\n"
    "sFILENAME=A101_1.WAV\r\nsTAPE=18Y12M31\r\n";

std::string field(const std::string& text) { return text + std::string(256 - text.size(), '\0'); }

struct LinesCase {
    const char* name;
    std::string description;
    std::set<int> kept;
    std::string expected;
};

class DropRemovedTrackLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(DropRemovedTrackLines, KeepsEveryOtherByteAndTheFieldSize) {
    const LinesCase& c = GetParam();
    const std::string rewritten = dropRemovedTrackLines(c.description, c.kept);
    EXPECT_EQ(rewritten, c.expected);
    EXPECT_EQ(rewritten.size(), c.description.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DropRemovedTrackLines,
    ::testing::Values(
        LinesCase{"SecondTrackKept",
                  field(kSoundDevicesHead + "sTRK1=MKH516 A\r\nsTRK2=Boom\r\nsNOTE=\r\n"),
                  {2},
                  field(kSoundDevicesHead + "sTRK2=Boom\r\nsNOTE=\r\n")},
        LinesCase{"FirstTrackKept",
                  field(kSoundDevicesHead + "sTRK1=MKH516 A\r\nsTRK2=Boom\r\nsNOTE=\r\n"),
                  {1},
                  field(kSoundDevicesHead + "sTRK1=MKH516 A\r\nsNOTE=\r\n")},
        LinesCase{"AllKept",
                  field(kSoundDevicesHead + "sTRK1=MKH516 A\r\nsTRK2=Boom\r\n"),
                  {1, 2},
                  field(kSoundDevicesHead + "sTRK1=MKH516 A\r\nsTRK2=Boom\r\n")},
        LinesCase{"TrackNumbersPastNine", field("sTRK9=A\r\nsTRK10=B\r\nsTRK11=C\r\n"), {10}, field("sTRK10=B\r\n")},
        LinesCase{"BareNewlinesAndALastLineWithoutOne", field("sTRK1=A\nsTRK2=B"), {1}, field("sTRK1=A\n")},
        LinesCase{"ZoomInputListStays",
                  field("TRL=TrL\r\nTR1=Tr1\r\nTR2=Tr2\r\nNOTE=x\r\n"),
                  {1},
                  field("TRL=TrL\r\nTR1=Tr1\r\nTR2=Tr2\r\nNOTE=x\r\n")},
        LinesCase{"LinesThatOnlyLookLikeTrackLinesStay",
                  field("sTRK=A\r\nsTRKx=B\r\nsTRK3\r\nsTRK99999999999999=C\r\n xsTRK4=D\r\nstrk5=E\r\n"),
                  {1},
                  field("sTRK=A\r\nsTRKx=B\r\nsTRK3\r\nsTRK99999999999999=C\r\n xsTRK4=D\r\nstrk5=E\r\n")},
        LinesCase{"BytesAfterTheFirstNulAreLeftAlone",
                  "sTRK1=A\r\nsTRK2=B\r\n\0sTRK1=junk"s,
                  {2},
                  "sTRK2=B\r\n\0sTRK1=junk\0\0\0\0\0\0\0\0\0"s},
        LinesCase{"NoTextAtAll", std::string(256, '\0'), {1}, std::string(256, '\0')}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tracksieve
