#include "tracksieve/sound_report.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "output_file.h"
#include "tracksieve/path_text.h"

namespace tracksieve {
namespace {

constexpr std::string_view kHeader =
    "Folder,File,Scene,Take,Start Timecode,Sample Rate,Bit Depth,Length (s),Track,Track Name,Peak (dBFS),Status";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence starting `text`, or 0.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondMin = 0xA0;
        if (lead == 0xED) secondMax = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondMin = 0x90;
        if (lead == 0xF4) secondMax = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        const unsigned char min = i == 1 ? secondMin : 0x80;
        const unsigned char max = i == 1 ? secondMax : 0xBF;
        if (next < min || next > max) return 0;
    }
    return length;
}

std::string validUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            valid += kReplacement;
            text.remove_prefix(1);
        } else {
            valid.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return valid;
}

// to_chars never consults the locale: a point as decimal separator, no grouping.
std::string fixed(double value, int decimals) {
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    return std::string(buffer, end);
}

std::string peakDbfs(double peak) { return peak > 0 ? fixed(20 * std::log10(peak), 1) : "-inf"; }

std::string bitDepth(const PolyWavInfo& record) {
    std::string depth = std::to_string(record.bitsPerSample);
    if (record.isFloat) depth += " float";
    return depth;
}

void writeRow(std::ostream& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out << ',';
        out << csvField(validUtf8(fields[i]));
    }
    out << "\r\n";
}

}  // namespace

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void writeSoundReportCsv(const std::vector<PolyWavInfo>& records, std::ostream& out) {
    out << kHeader << "\r\n";
    for (const PolyWavInfo& record : records) {
        const std::string folder = pathToUtf8(record.path.parent_path());
        const std::string file = pathToUtf8(record.path.filename());
        if (!record.error.empty()) {
            std::string status = "error: ";
            status += record.error;
            writeRow(out, {folder, file, "", "", "", "", "", "", "", "", "", status});
            continue;
        }
        for (const TrackInfo& track : record.tracks) {
            writeRow(out, {folder, file, record.scene, record.take, record.timecode, std::to_string(record.sampleRate),
                           bitDepth(record), fixed(record.durationSeconds, 3), std::to_string(track.index + 1),
                           track.name, peakDbfs(track.peak), track.empty ? "empty" : "active"});
        }
    }
}

void saveSoundReportCsv(const std::vector<PolyWavInfo>& records, const std::filesystem::path& path) {
    std::ostringstream csv;
    writeSoundReportCsv(records, csv);
    const std::string bytes = std::move(csv).str();
    OutputFile out(path, 0666);  // a document: readable and writable as the umask allows
    out.write(bytes.data(), bytes.size());
    out.commit();
}

}  // namespace tracksieve
