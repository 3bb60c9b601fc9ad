#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "recorder_metadata.h"
#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/sound_report.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::Format;
using testing::WavBuilder;

const fs::path kData = TRACKSIEVE_TEST_DATA;

// The bext Description holds "sKEY=value" lines; the rest of the body as bextBody makes it.
std::string bextWithDescription(std::string_view description) {
    std::string body = testing::bextBody(0);
    body.replace(0, description.size(), description);
    return body;
}

PolyWavInfo analyzed(const std::string& bytes) {
    std::istringstream in(bytes);
    return analyzePolyWav(in, "take.wav", kThreshold);
}

struct SceneCase {
    const char* label;
    std::string ixml;  // no iXML chunk when empty
    std::string description;
    std::string scene;
    std::string take;
};

TEST(SceneAndTake, ComeFromTheIxmlElseTheBextDescription) {
    const std::vector<SceneCase> cases = {
        {"ixml only", "<BWFXML><SCENE>12A</SCENE><TAKE>3</TAKE></BWFXML>", "", "12A", "3"},
        {"bext only", "", "sSPEED=025.000-ND\r\nsSCENE=A101\r\nsTAKE=1\r\n", "A101", "1"},
        {"ixml wins", "<BWFXML><SCENE> 7B </SCENE><TAKE>4</TAKE></BWFXML>", "sSCENE=X\r\nsTAKE=9\r\n", "7B", "4"},
        {"empty ixml falls back", "<BWFXML><SCENE></SCENE><TAKE/></BWFXML>", "sSCENE=X\nsTAKE=9", "X", "9"},
        {"prefix is not the key", "", "xsSCENE=no\r\nsSCENEX=no\r\nsTAKEN=no\r\n", "", ""},
        {"take type is not take", "<BWFXML><TAKE_TYPE>DEFAULT</TAKE_TYPE></BWFXML>", "", "", ""},
        {"neither", "", "", "", ""},
    };
    for (const SceneCase& c : cases) {
        SCOPED_TRACE(c.label);
        WavBuilder builder;
        builder.chunk("bext", bextWithDescription(c.description)).fmt(Format{});
        if (!c.ixml.empty()) builder.chunk("iXML", c.ixml);
        const PolyWavInfo info = analyzed(builder.data(testing::constantFrames(16, 2, 4, 100)).bytes());
        ASSERT_EQ(info.error, "");
        EXPECT_EQ(info.scene, c.scene);
        EXPECT_EQ(info.take, c.take);
    }
}

TEST(SceneAndTake, DescriptionEndsAtItsFirstNul) {
    // A Description filling all 256 bytes has no NUL; its last line must not run into the
    // originator that follows it.
    std::string description(256 - 8, 'x');
    description += "\nsTAKE=";
    WavBuilder builder;
    builder.chunk("bext", bextWithDescription(description) + std::string(10, 'Z')).fmt(Format{});
    const PolyWavInfo info = analyzed(builder.data(testing::constantFrames(16, 2, 4, 100)).bytes());
    EXPECT_EQ(info.take, "");
}

PolyWavInfo recordWithTrackNames(const std::vector<std::string>& names) {
    PolyWavInfo record;
    record.path = fs::path("Day 1") / "A,1.WAV";
    record.channels = static_cast<std::int32_t>(names.size());
    record.sampleRate = 48000;
    record.bitsPerSample = 24;
    record.durationSeconds = 5.0049791;
    record.timecode = "12:40:00:00";
    record.scene = "12\"A";
    record.take = "3";
    for (std::size_t i = 0; i < names.size(); ++i) {
        record.tracks.push_back({static_cast<std::int32_t>(i), names[i], i % 2 == 0 ? 0.5 : 0.0, 0.0, i % 2 != 0});
    }
    return record;
}

const std::vector<std::string> kAwkwardNames = {
    "Boom, left", "say \"hi\"", "two\r\nlines", "lone\nfeed", "\"", ",", "plain", "", "Straße – 東京", "bad\xFF byte",
};

std::vector<std::vector<std::string>> expectedRows(const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> rows = {{"Folder", "File", "Scene", "Take", "Start Timecode", "Sample Rate",
                                                   "Bit Depth", "Length (s)", "Track", "Track Name", "Peak (dBFS)",
                                                   "Status"}};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = names[i] == "bad\xFF byte" ? "bad\xEF\xBF\xBD byte" : names[i];
        rows.push_back({"Day 1", "A,1.WAV", "12\"A", "3", "12:40:00:00", "48000", "24", "5.005", std::to_string(i + 1),
                        name, i % 2 == 0 ? "-6.0" : "-inf", i % 2 == 0 ? "active" : "empty"});
    }
    rows.push_back({"", "gone.wav", "", "", "", "", "", "", "", "", "", "error: Not a RIFF/WAVE file"});
    return rows;
}

std::string awkwardReport() {
    PolyWavInfo failed;
    failed.path = "gone.wav";
    failed.error = "Not a RIFF/WAVE file";
    std::ostringstream out;
    writeSoundReportCsv({recordWithTrackNames(kAwkwardNames), failed}, out);
    return out.str();
}

// An RFC 4180 reader written from the RFC's grammar, independent of the writer.
std::vector<std::vector<std::string>> parseCsv(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i; !(text[i] == '"' && (i + 1 == text.size() || text[i + 1] != '"')); ++i) {
                if (text[i] == '"') ++i;
                field += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r') field += text[i++];
        }
        row.push_back(std::move(field));
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        EXPECT_EQ(text.substr(i, 2), "\r\n") << "a row ends in CR LF";
        i += 2;
        rows.push_back(std::move(row));
        row.clear();
    }
    return rows;
}

TEST(SoundReport, FieldsWithCommasQuotesAndLineBreaksReadBackExactly) {
    EXPECT_EQ(parseCsv(awkwardReport()), expectedRows(kAwkwardNames));
}

#ifndef _WIN32
// Python's csv module, as a spreadsheet or a script would read the file; each field comes back
// as hex so that no byte is lost on the way.
TEST(SoundReport, PythonsCsvReaderReadsItBack) {
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    const testing::TempDir dir;
    const fs::path csv = dir.write("report.csv", awkwardReport());
    const fs::path parsed = dir.path() / "parsed.txt";
    const std::string command =
        "/usr/bin/python3 -c \"import csv,sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    for row in csv.reader(f, strict=True): print(' '.join(x.encode().hex() or '-' for x in row))\" '" +
        csv.string() + "' > '" + parsed.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::string expected;
    for (const std::vector<std::string>& row : expectedRows(kAwkwardNames)) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) expected += ' ';
            if (row[i].empty()) expected += '-';
            for (const char c : row[i]) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
                expected += hex;
            }
        }
        expected += '\n';
    }
    EXPECT_EQ(testing::readFile(parsed), expected);
}
#endif

TEST(SoundReport, RecorderFileRowsCarryItsSceneTakeAndTracks) {
    std::ostringstream out;
    writeSoundReportCsv({analyzePolyWav(kData / "A101_1.WAV", kThreshold)}, out);
    const std::vector<std::vector<std::string>> rows = parseCsv(out.str());
    ASSERT_EQ(rows.size(), 3u);
    const std::string folder = kData.string();
    EXPECT_EQ(rows[1], (std::vector<std::string>{folder, "A101_1.WAV", "A101", "1", "12:40:44:14", "48000", "24",
                                                 "5.005", "1", "MKH516 A", "-85.5", "empty"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{folder, "A101_1.WAV", "A101", "1", "12:40:44:14", "48000", "24",
                                                 "5.005", "2", "Boom", "-79.0", "empty"}));
}

}  // namespace
}  // namespace tracksieve
