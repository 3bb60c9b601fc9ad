// Times the reading of recorder metadata (timecode elements, timecode text, track names) on
// iXML chunks as recorders write them, and on a 1 MB chunk. Prints microseconds per file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "recorder_metadata.h"
#include "tracksieve/track_list_rewrite.h"

namespace {

using tracksieve::WavFile;

std::string trackList(int tracks) {
    std::string list = "\t<TRACK_LIST>\n\t\t<TRACK_COUNT>" + std::to_string(tracks) + "</TRACK_COUNT>\n";
    const char* names[] = {"MixL", "MixR", "Boom", "Lav 1", "Lav 2", "Lav 3", "Plant", "Ambience"};
    for (int i = 1; i <= tracks; ++i) {
        const std::string n = std::to_string(i);
        list += "\t\t<TRACK>\n\t\t\t<CHANNEL_INDEX>" + n + "</CHANNEL_INDEX>\n\t\t\t<INTERLEAVE_INDEX>" + n +
                "</INTERLEAVE_INDEX>\n\t\t\t<NAME>" + names[(i - 1) % 8] + "</NAME>\n\t\t\t<FUNCTION></FUNCTION>\n\t\t</TRACK>\n";
    }
    return list + "\t</TRACK_LIST>\n";
}

// Sound Devices order: speed and time stamp first, the track list, then history, file set,
// bext copy, location and user notes; padded with notes to `size` bytes.
std::string soundDevicesLike(std::size_t size) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n\t<IXML_VERSION>2.10</IXML_VERSION>\n"
        "\t<PROJECT>Feature Day 12</PROJECT>\n\t<SCENE>42A</SCENE>\n\t<TAKE>3</TAKE>\n\t<TAPE>25Y03M14</TAPE>\n"
        "\t<CIRCLED>FALSE</CIRCLED>\n\t<NO_GOOD>FALSE</NO_GOOD>\n\t<FALSE_START>FALSE</FALSE_START>\n"
        "\t<WILD_TRACK>FALSE</WILD_TRACK>\n\t<NOTE>plane overhead at end</NOTE>\n"
        "\t<SPEED>\n\t\t<NOTE></NOTE>\n\t\t<MASTER_SPEED>24000/1001</MASTER_SPEED>\n"
        "\t\t<CURRENT_SPEED>24000/1001</CURRENT_SPEED>\n\t\t<TIMECODE_RATE>24000/1001</TIMECODE_RATE>\n"
        "\t\t<TIMECODE_FLAG>NDF</TIMECODE_FLAG>\n\t\t<FILE_SAMPLE_RATE>48000</FILE_SAMPLE_RATE>\n"
        "\t\t<AUDIO_BIT_DEPTH>24</AUDIO_BIT_DEPTH>\n\t\t<DIGITIZER_SAMPLE_RATE>48000</DIGITIZER_SAMPLE_RATE>\n"
        "\t\t<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\n"
        "\t\t<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>2073600000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\n"
        "\t\t<TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>\n\t</SPEED>\n"
        "\t<SYNC_POINT_LIST>\n\t\t<SYNC_POINT_COUNT>0</SYNC_POINT_COUNT>\n\t</SYNC_POINT_LIST>\n" +
        trackList(8) +
        "\t<HISTORY>\n\t\t<ORIGINAL_FILENAME>42A-T003.WAV</ORIGINAL_FILENAME>\n"
        "\t\t<PARENT_FILENAME></PARENT_FILENAME>\n\t\t<PARENT_UID></PARENT_UID>\n\t</HISTORY>\n"
        "\t<FILE_SET>\n\t\t<TOTAL_FILES>1</TOTAL_FILES>\n\t\t<FAMILY_UID>5A3C0B1E9D7F4C2A</FAMILY_UID>\n"
        "\t\t<FAMILY_NAME>42A-T003</FAMILY_NAME>\n\t\t<FILE_SET_INDEX>A</FILE_SET_INDEX>\n\t</FILE_SET>\n"
        "\t<BEXT>\n\t\t<BWF_DESCRIPTION>sSPEED=023.976-ND\r\nsTAKE=003\r\nsUBITS=$25031400\r\nsSWVER=10.10\r\n"
        "sTRK1=MixL\r\nsTRK2=MixR\r\nsTRK3=Boom\r\n</BWF_DESCRIPTION>\n\t\t<BWF_ORIGINATOR>Sound Devices</BWF_ORIGINATOR>\n"
        "\t\t<BWF_ORIGINATION_DATE>2025-03-14</BWF_ORIGINATION_DATE>\n\t\t<BWF_ORIGINATION_TIME>12:00:00</BWF_ORIGINATION_TIME>\n"
        "\t\t<BWF_TIME_REFERENCE_LOW>2073600000</BWF_TIME_REFERENCE_LOW>\n\t\t<BWF_TIME_REFERENCE_HIGH>0</BWF_TIME_REFERENCE_HIGH>\n"
        "\t\t<BWF_VERSION>1</BWF_VERSION>\n\t</BEXT>\n"
        "\t<LOCATION>\n\t\t<LOCATION_NAME>Stage 4</LOCATION_NAME>\n\t\t<LOCATION_TYPE>INT</LOCATION_TYPE>\n"
        "\t\t<LOCATION_TIME>DAY</LOCATION_TIME>\n\t</LOCATION>\n\t<USER>\n";
    const std::string ending = "\t</USER>\n</BWFXML>\n";
    for (int line = 0;; ++line) {
        const std::string tag = "NOTE_" + std::to_string(line % 100);
        const std::string note = "\t\t<" + tag + ">Slate " + std::to_string(line) +
                                 ": boom op notes rustle on lav 2, retake later</" + tag + ">\n";
        if (doc.size() + note.size() + ending.size() > size) break;
        doc += note;
    }
    doc.append(size - doc.size() - ending.size(), ' ');
    return doc + ending;
}

// Zoom F8 style: a short document followed by NUL bytes reserving the rest of the chunk.
std::string zoomLike(std::size_t size) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n<IXML_VERSION>1.52</IXML_VERSION>\r\n"
        "<PROJECT>ZOOM F8</PROJECT>\r\n<SCENE>S01</SCENE>\r\n<TAKE>T005</TAKE>\r\n<SPEED>\r\n"
        "<MASTER_SPEED>30/1</MASTER_SPEED>\r\n<CURRENT_SPEED>30/1</CURRENT_SPEED>\r\n"
        "<TIMECODE_RATE>30/1</TIMECODE_RATE>\r\n<TIMECODE_FLAG>NDF</TIMECODE_FLAG>\r\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\r\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>1382400000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\r\n"
        "<TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>\r\n</SPEED>\r\n" +
        trackList(8) + "</BWFXML>\r\n";
    doc.resize(size, '\0');
    return doc;
}

struct Timing {
    double microsecondsPerFile;
    std::string timecode;
    std::vector<std::string> names;
};

// Steps as the analysis runs them on one file: timecode elements, timecode text, track names.
Timing timeMetadataReading(const std::string& ixml, int files) {
    WavFile wav;
    std::vector<double> perFile;
    Timing result{};
    for (int repetition = 0; repetition < 7; ++repetition) {
        const auto start = std::chrono::steady_clock::now();
        for (int file = 0; file < files; ++file) {
            wav.ixmlText = ixml;
            wav.timecodeRate = 24.0;
            wav.hasTimeReference = false;
            tracksieve::readIxmlTimecode(wav);
            result.timecode = wav.hasTimeReference ? tracksieve::formatTimecode(wav.timeReference, 48000, wav.timecodeRate) : "";
            std::vector<std::string> names;
            for (int i = 1; i <= 8; ++i) names.push_back("Track " + std::to_string(i));
            tracksieve::readIxmlTrackNames(wav.ixmlText, names);
            result.names = std::move(names);
        }
        const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
        perFile.push_back(elapsed.count() / files);
    }
    std::sort(perFile.begin(), perFile.end());
    result.microsecondsPerFile = perFile[perFile.size() / 2];
    return result;
}

double timeCopyOnly(const std::string& ixml, int files) {
    WavFile wav;
    std::vector<double> perFile;
    for (int repetition = 0; repetition < 7; ++repetition) {
        const auto start = std::chrono::steady_clock::now();
        for (int file = 0; file < files; ++file) wav.ixmlText = ixml;
        const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
        perFile.push_back(elapsed.count() / files);
    }
    std::sort(perFile.begin(), perFile.end());
    return perFile[perFile.size() / 2];
}

double timeRewrite(const std::string& ixml, int files) {
    const std::vector<std::string> kept = {"MixL", "MixR", "Boom", "Lav 1", "Lav 3", "Plant"};
    const std::vector<std::int32_t> channelMap = {0, 1, 2, 3, -1, 4, 5, -1};
    std::vector<double> perFile;
    for (int repetition = 0; repetition < 7; ++repetition) {
        std::chrono::duration<double, std::micro> elapsed{};
        for (int file = 0; file < files; ++file) {
            std::vector<tracksieve::MetaChunk> chunks(1, {"iXML", ixml});
            const auto start = std::chrono::steady_clock::now();
            tracksieve::rewriteMetaChunks(chunks, kept, channelMap);
            elapsed += std::chrono::steady_clock::now() - start;
        }
        perFile.push_back(elapsed.count() / files);
    }
    std::sort(perFile.begin(), perFile.end());
    return perFile[perFile.size() / 2];
}

void report(const char* label, const std::string& ixml, int files) {
    const Timing timing = timeMetadataReading(ixml, files);
    std::printf("%-34s %8zu bytes  metadata reading %9.2f us/file (of which copying the text %7.2f us)"
                "  rewrite %9.2f us/file  [%s, %s ... %s]\n",
                label, ixml.size(), timing.microsecondsPerFile, timeCopyOnly(ixml, files), timeRewrite(ixml, files),
                timing.timecode.c_str(), timing.names.front().c_str(), timing.names.back().c_str());
}

}  // namespace

int main() {
    report("Sound Devices-like, 16 KB", soundDevicesLike(16 * 1024), 20000);
    report("Zoom-like with NUL padding, 16 KB", zoomLike(16 * 1024), 20000);
    report("Sound Devices-like, 1 MB", soundDevicesLike(1024 * 1024), 200);
    std::string noElements = soundDevicesLike(1024 * 1024);
    for (char& c : noElements) if (c == 'T' || c == 't') c = 'x';
    report("1 MB, none of the elements present", noElements, 200);
    return 0;
}
