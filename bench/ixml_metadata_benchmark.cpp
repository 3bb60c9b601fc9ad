// Times the reading of recorder metadata (timecode elements, timecode text, track names) on
// iXML chunks as recorders write them, and on a 1 MB chunk. Prints microseconds per file.

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "recorder_metadata.h"

namespace {

// Sound Devices order: project fields, speed and time stamp, the track list, then history and
// user notes, padded with notes to `size` bytes.
std::string soundDevicesLike(std::size_t size) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n<IXML_VERSION>2.10</IXML_VERSION>\n"
        "<PROJECT>Feature Day 12</PROJECT>\n<SCENE>42A</SCENE>\n<TAKE>3</TAKE>\n<NOTE>plane overhead</NOTE>\n"
        "<SPEED>\n<MASTER_SPEED>24000/1001</MASTER_SPEED>\n<TIMECODE_RATE>24000/1001</TIMECODE_RATE>\n"
        "<TIMECODE_FLAG>NDF</TIMECODE_FLAG>\n<FILE_SAMPLE_RATE>48000</FILE_SAMPLE_RATE>\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>2073600000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\n"
        "<TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>\n</SPEED>\n" +
        tracksieve::bench::ixmlTrackList() +
        "<HISTORY>\n<ORIGINAL_FILENAME>42A-T003.WAV</ORIGINAL_FILENAME>\n</HISTORY>\n<USER>\n";
    const std::string ending = "</USER>\n</BWFXML>\n";
    for (int line = 0;; ++line) {
        const std::string tag = "NOTE_" + std::to_string(line % 100);
        const std::string note =
            "<" + tag + ">Slate " + std::to_string(line) + ": lav 2 rustles, retake</" + tag + ">\n";
        if (doc.size() + note.size() + ending.size() > size) break;
        doc += note;
    }
    doc.append(size - doc.size() - ending.size(), ' ');
    return doc + ending;
}

// Zoom F8 style: a short document followed by NUL bytes reserving the rest of the chunk.
std::string zoomLike(std::size_t size) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n<PROJECT>ZOOM F8</PROJECT>\r\n<SPEED>\r\n"
        "<TIMECODE_RATE>30/1</TIMECODE_RATE>\r\n<TIMECODE_FLAG>NDF</TIMECODE_FLAG>\r\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\r\n"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>1382400000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\r\n</SPEED>\r\n" +
        tracksieve::bench::ixmlTrackList() + "</BWFXML>\r\n";
    doc.resize(size, '\0');
    return doc;
}

// Runs the steps as the analysis does on each file: timecode elements, timecode text, names.
void report(const char* label, const std::string& ixml, int files) {
    tracksieve::WavFile wav;
    std::string timecode;
    std::vector<std::string> names;
    const auto readMetadata = [&] {
        for (int file = 0; file < files; ++file) {
            wav.ixmlText = ixml;
            wav.timecodeRate = 24.0;
            wav.hasTimeReference = false;
            tracksieve::readIxmlTimecode(wav);
            timecode =
                wav.hasTimeReference ? tracksieve::formatTimecode(wav.timeReference, 48000, wav.timecodeRate) : "";
            names.clear();
            for (int i = 1; i <= 8; ++i) names.push_back("Track " + std::to_string(i));
            tracksieve::readIxmlTrackNames(wav.ixmlText, names);
        }
    };
    const auto copyOnly = [&] {
        for (int file = 0; file < files; ++file) wav.ixmlText = ixml;
    };
    const std::vector<double> seconds = tracksieve::bench::medianSeconds(7, {readMetadata, copyOnly});
    std::printf(
        "%-34s %8zu bytes  metadata reading %9.2f us/file (of which copying the text %7.2f us)  [%s, %s ... %s]\n",
        label, ixml.size(), seconds[0] / files * 1e6, seconds[1] / files * 1e6, timecode.c_str(), names.front().c_str(),
        names.back().c_str());
}

}  // namespace

int main() {
    report("Sound Devices-like, 16 KB", soundDevicesLike(16 * 1024), 20000);
    report("Zoom-like with NUL padding, 16 KB", zoomLike(16 * 1024), 20000);
    report("Sound Devices-like, 1 MB", soundDevicesLike(1024 * 1024), 200);
    std::string noElements = soundDevicesLike(1024 * 1024);
    for (char& c : noElements)
        if (c == 'T' || c == 't') c = 'x';
    report("1 MB, none of the elements present", noElements, 200);
    return 0;
}
