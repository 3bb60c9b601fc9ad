#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_checks.h"
#include "little_endian.h"
#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/slim_writer.h"
#include "tracksieve/track_list_rewrite.h"
#include "wav_builder.h"
#include "riff_head.h"
#include "source_chunk_walk.h"
#include "wav_reader.h"

namespace {

using namespace tracksieve;
using fuzz::require;
namespace fs = std::filesystem;

// The writer works on files: one folder per process, reused by every input.
const testing::TempDir& workDir() {
    static const testing::TempDir dir;
    return dir;
}

std::vector<std::string> entriesOf(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The message the writer must refuse this source with, or "" when it must write a copy.
std::string expectedRefusal(const PolyWavInfo& record) {
    if (!record.error.empty()) return record.error;
    if (record.emptyCount() == 0) return "No empty tracks to remove";
    if (record.activeCount() == 0) return "All tracks are empty \xE2\x80\x94 nothing to keep";
    return "";
}

// Every chunk lies inside the file, the walk ends exactly at its end, and the RIFF size says so;
// in a 64-bit form the sizes are those of its `ds64`, which comes first and only there.
void checkRiffLayout(const std::string& file) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    require(file.size() >= 12 && file.compare(8, 4, "WAVE") == 0, "the copy is a WAVE file");
    const bool wide = file.compare(0, 4, "RIFF") != 0;
    require(!wide || file.compare(0, 4, "RF64") == 0 || file.compare(0, 4, "BW64") == 0,
            "the copy is a RIFF, RF64 or BW64 file");
    std::uint64_t riffSize = le::readU32(bytes + 4);
    std::uint64_t dataSize = 0;
    std::uint64_t position = 12;
    if (wide) {
        require(riffSize == 0xFFFFFFFF && file.size() >= 48 && file.compare(12, 4, "ds64") == 0 &&
                    le::readU32(bytes + 16) == 28,
                "a 64-bit copy starts with its ds64");
        riffSize = le::readU64(bytes + 20);
        dataSize = le::readU64(bytes + 28);
        position = 48;
    }
    require(riffSize + 8 == file.size(), "the RIFF size counts the whole copy");
    int fmtChunks = 0;
    int dataChunks = 0;
    while (position < file.size()) {
        require(position + 8 <= file.size(), "no partial chunk header");
        std::uint64_t size = le::readU32(bytes + position + 4);
        const bool isData = file.compare(position, 4, "data") == 0;
        if (wide && isData) {
            require(size == 0xFFFFFFFF, "a 64-bit copy's data size is in its ds64");
            size = dataSize;
        }
        require(file.compare(position, 4, "ds64") != 0, "no ds64 is copied as a chunk");
        fmtChunks += file.compare(position, 4, "fmt ") == 0;
        dataChunks += isData;
        position += 8 + size + size % 2;
        require(position <= file.size(), "every chunk and its pad byte lie inside the copy");
    }
    require(fmtChunks == 1 && dataChunks == 1, "one fmt and one data chunk");
}

// A 64-bit copy with its `data` size written into the `data` header, so that a plain chunk walk
// finds the chunks after the samples.
std::string walkedAsPlainRiff(std::string copy) {
    const std::uint64_t dataSize = le::readU64(reinterpret_cast<const unsigned char*>(copy.data()) + 28);
    for (std::size_t position = 48; position + 8 <= copy.size();) {
        const std::uint32_t size = le::readU32(reinterpret_cast<const unsigned char*>(copy.data()) + position + 4);
        if (copy.compare(position, 4, "data") == 0) {
            le::writeU32(reinterpret_cast<unsigned char*>(copy.data()) + position + 4,
                         static_cast<std::uint32_t>(dataSize));
            break;
        }
        position += 8 + std::uint64_t{size} + size % 2;
    }
    return copy;
}

struct SampleLayout {
    std::uint64_t offset = 0;
    std::uint64_t frames = 0;
    std::size_t frameBytes = 0;
    std::size_t sampleBytes = 0;
};

// Where the whole frames of a file's sample data lie, as the reader finds them.
SampleLayout samplesOf(const std::string& file) {
    std::istringstream memory(file);
    WavFile wav;
    require(openWav(memory, wav), "the file opens");
    const auto offset = static_cast<std::uint64_t>(wav.dataOffset);
    return {offset, wav.dataBytesPresent / wav.fmt.blockAlign, wav.fmt.blockAlign, wav.fmt.bitsPerSample / 8u};
}

// Nothing in the copy is made up: each chunk other than the format and the samples holds no
// more bytes than a chunk of its kind really has in the source. The XML may grow by a new track
// list for each list it held (each at least a pair of tags long) and by one new document.
void checkNothingInvented(const fs::path& sourcePath, const std::string& copy, const std::vector<std::string>& kept) {
    const SourceLayout layout = walkSourceChunks(sourcePath);
    std::vector<MetaChunk> sourceChunks = layout.beforeAudio;
    sourceChunks.insert(sourceChunks.end(), layout.afterAudio.begin(), layout.afterAudio.end());
    const std::size_t newList = buildTrackListInner(kept).size() + 16;
    std::size_t xmlAllowance = buildTrackListIxml(kept).size();
    for (const MetaChunk& chunk : sourceChunks) {
        if (isXmlChunkId(chunk.id)) xmlAllowance += chunk.body.size() + (chunk.body.size() / 8 + 1) * newList;
    }
    auto kindOf = [](const std::string& id) { return id.starts_with("ond") ? std::string("ond") : id; };
    std::size_t xmlBytes = 0;
    std::vector<testing::RiffChunk> copyChunks = testing::parseChunks(copy);
    // A 64-bit copy's `data` header defers its size: the chunks after the samples are its own.
    if (copy.compare(0, 4, "RIFF") != 0) copyChunks = testing::parseChunks(walkedAsPlainRiff(copy));
    for (const testing::RiffChunk& chunk : copyChunks) {
        if (chunk.id == "fmt " || chunk.id == "data" || chunk.id == "ds64") continue;
        if (chunk.id == "iXML") {
            xmlBytes += chunk.size;
            continue;
        }
        const bool fromSource = std::any_of(sourceChunks.begin(), sourceChunks.end(), [&](const MetaChunk& c) {
            return kindOf(c.id) == kindOf(chunk.id) && c.body.size() >= chunk.size;
        });
        require(fromSource, "the copy's " + chunk.id + " chunk holds no more than the source has");
    }
    require(xmlBytes <= xmlAllowance, "the copy's XML holds no more than the source's and the new track lists");
}

void checkCopy(const fs::path& sourcePath, const std::string& source, const PolyWavInfo& record,
               const std::string& copy) {
    std::vector<std::int32_t> keptIndices;
    std::vector<std::string> keptNames;
    for (const TrackInfo& track : record.tracks) {
        if (track.empty) continue;
        keptIndices.push_back(track.index);
        keptNames.push_back(track.name);
    }
    checkRiffLayout(copy);
    checkNothingInvented(sourcePath, copy, keptNames);
    std::istringstream copyMemory(copy);
    const PolyWavInfo copyRecord = analyzePolyWav(copyMemory, "take_SLIM.wav", kThreshold);
    require(copyRecord.error.empty(), "the copy opens: " + copyRecord.error);
    require(copyRecord.channels == static_cast<std::int32_t>(keptIndices.size()), "the copy has the kept channels");
    require(copyRecord.sampleRate == record.sampleRate && copyRecord.bitsPerSample == record.bitsPerSample &&
                copyRecord.isFloat == record.isFloat,
            "the copy keeps the format");
    require(copyRecord.emptyCount() == 0, "no kept track is empty in the copy");
    std::vector<std::string> copyNames;
    for (const TrackInfo& track : copyRecord.tracks) copyNames.push_back(track.name);
    require(copyNames == keptNames, "the copy names the kept tracks, in order");

    const SampleLayout from = samplesOf(source);
    const SampleLayout to = samplesOf(copy);
    require(to.frames == from.frames && to.frameBytes == keptIndices.size() * from.sampleBytes,
            "the copy holds every whole frame of the source");
    for (std::uint64_t f = 0; f < from.frames; ++f) {
        for (std::size_t k = 0; k < keptIndices.size(); ++k) {
            const std::uint64_t at = from.offset + f * from.frameBytes + keptIndices[k] * from.sampleBytes;
            const std::uint64_t copyAt = to.offset + f * to.frameBytes + k * to.sampleBytes;
            require(std::memcmp(source.data() + at, copy.data() + copyAt, from.sampleBytes) == 0,
                    "kept samples are copied bit for bit");
        }
    }
}

}  // namespace

// Slims arbitrary bytes as a WAV file: once beside the source, once in place.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string source = fuzz::bytesOf(data, size);
    const fs::path& dir = workDir().path();
    const fs::path sourcePath = workDir().write("take.wav", source);
    std::istringstream memory(source);
    const PolyWavInfo record = analyzePolyWav(memory, sourcePath, kThreshold);
    fuzz::checkRecord(record, kThreshold);
    const std::string refusal = expectedRefusal(record);

    // Every other input is written in a 64-bit form, however small.
    setPlainRiffSizeLimit(size % 2 == 0 ? 0xFFFFFFFF : 0);
    std::string failure;
    fs::path written;
    try {
        written = compressPolyWav(sourcePath, false, kThreshold);
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    require(testing::readFile(sourcePath) == source, "the source is left as it was");
    if (!refusal.empty() || !failure.empty()) {
        require(failure == refusal, "refused with \"" + refusal + "\", not \"" + failure + "\"");
        require(entriesOf(dir) == std::vector<std::string>{"take.wav"}, "a refused slim leaves no file behind");
        return 0;
    }
    require(written == dir / "take_SLIM.wav", "the copy goes beside the source");
    const std::string copy = testing::readFile(written);
    checkCopy(sourcePath, source, record, copy);

    compressPolyWav(sourcePath, true, kThreshold);
    require(testing::readFile(sourcePath) == copy, "a slim in place writes what a slim beside it wrote");
    require(entriesOf(dir) == std::vector<std::string>{"take.wav", "take_SLIM.wav"}, "no temporary file is left");
    fs::remove(written);
    return 0;
}
