#include "tracksieve/slim_writer.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "frame_pieces.h"
#include "kept_channel_gather.h"
#include "little_endian.h"
#include "output_file.h"
#include "source_chunk_walk.h"
#include "tracksieve/analysis.h"
#include "tracksieve/track_list_rewrite.h"

namespace tracksieve {
namespace {

constexpr std::uint64_t kChunkHeaderSize = 8;

namespace fs = std::filesystem;

struct KeptChannels {
    std::vector<std::int32_t> indices;
    std::vector<std::string> names;
    std::vector<std::int32_t> channelMap;
};

KeptChannels keptChannelsOf(const PolyWavInfo& info) {
    if (info.emptyCount() == 0) throw std::runtime_error("No empty tracks to remove");
    if (info.activeCount() == 0) throw std::runtime_error("All tracks are empty \xE2\x80\x94 nothing to keep");
    KeptChannels kept;
    for (const TrackInfo& track : info.tracks) {
        if (track.empty) continue;
        kept.indices.push_back(track.index);
        kept.names.push_back(track.name);
    }
    kept.channelMap.assign(static_cast<std::size_t>(info.channels), -1);
    for (std::size_t i = 0; i < kept.indices.size(); ++i) {
        kept.channelMap[static_cast<std::size_t>(kept.indices[i])] = static_cast<std::int32_t>(i);
    }
    return kept;
}

fs::path slimPathFor(const fs::path& source) {
    fs::path name = source.stem();
    name += "_SLIM";
    name += source.extension();
    return source.parent_path() / name;
}

bool holdsIxml(const std::vector<MetaChunk>& chunks) {
    return std::any_of(chunks.begin(), chunks.end(), [](const MetaChunk& c) { return c.id == "iXML"; });
}

std::uint64_t listSize(const std::vector<MetaChunk>& chunks) {
    std::uint64_t total = 0;
    for (const MetaChunk& c : chunks) total += kChunkHeaderSize + c.body.size() + c.body.size() % 2;
    return total;
}

void writeChunk(OutputFile& out, const MetaChunk& c) {
    unsigned char header[8];
    std::copy_n(c.id.data(), 4, header);
    le::writeU32(header + 4, static_cast<std::uint32_t>(c.body.size()));
    out.write(header, sizeof header);
    out.write(c.body.data(), c.body.size());
    out.writeZeros(c.body.size() % 2);
}

bool namesSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// Streams the kept channels of `frames` whole frames from the source's sample data, a bounded
// piece at a time.
void copyKeptFrames(const fs::path& source, const SourceLayout& layout, const KeptChannelGather& gather,
                    std::uint64_t frames, OutputFile& out) {
    std::ifstream in(source, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(layout.dataOffset), std::ios::beg);
    FramePieceReader reader(in, layout.fmt.blockAlign, KeptChannelGather::kSlack);
    std::vector<unsigned char> outputPiece(reader.pieceFrames() * gather.outputFrameBytes() + KeptChannelGather::kSlack);

    std::uint64_t done = 0;
    while (done < frames) {
        const std::size_t got = reader.read(static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, reader.pieceFrames())));
        // The sizes already written promise every frame: a source that shrank must not leave
        // a file that claims more than it holds.
        if (got == 0) throw std::runtime_error("Could not read source file");
        gather.gather(reader.data(), got, outputPiece.data());
        out.write(outputPiece.data(), got * gather.outputFrameBytes());
        done += got;
    }
}

}  // namespace

fs::path compressPolyWav(const fs::path& source, bool overwrite, double threshold, const fs::path& outputPath) {
    const PolyWavInfo info = analyzePolyWav(source, threshold);
    if (!info.error.empty()) throw std::runtime_error(info.error);
    const KeptChannels kept = keptChannelsOf(info);

    const fs::path resultPath = !outputPath.empty() ? outputPath : overwrite ? source : slimPathFor(source);

    SourceLayout layout = walkSourceChunks(source);
    const std::uint16_t bytesPerSample = layout.fmt.bitsPerSample / 8;
    // The analysis vouched for the format; this guards the copy against a file changed since.
    if (bytesPerSample == 0 || layout.fmt.blockAlign < static_cast<std::size_t>(info.channels) * bytesPerSample) {
        throw std::runtime_error("Invalid format");
    }

    const auto keptCount = static_cast<std::uint16_t>(kept.indices.size());
    FmtChunk fmt;
    fmt.formatTag = layout.fmt.formatTag;
    fmt.channels = keptCount;
    fmt.sampleRate = layout.fmt.sampleRate;
    fmt.blockAlign = static_cast<std::uint16_t>(keptCount * bytesPerSample);
    fmt.byteRate = layout.fmt.sampleRate * fmt.blockAlign;
    fmt.bitsPerSample = layout.fmt.bitsPerSample;
    // Frames come from the bytes really present, so the sizes written match the samples written.
    const std::uint64_t frames = layout.dataBytesPresent / layout.fmt.blockAlign;
    const std::uint64_t dataSize = frames * fmt.blockAlign;

    std::vector<MetaChunk>& before = layout.beforeAudio;
    std::vector<MetaChunk>& after = layout.afterAudio;
    rewriteMetaChunks(before, kept.names, kept.channelMap);
    rewriteMetaChunks(after, kept.names, kept.channelMap);
    if (!holdsIxml(before) && !holdsIxml(after)) before.push_back({"iXML", buildTrackListIxml(kept.names)});

    // The `fmt ` chunk is made first so that the RIFF size counts exactly the form written.
    std::ostringstream fmtBytes;
    writeFmtChunk(fmtBytes, fmt, layout.fmt.sampleFormat);
    const std::uint64_t riffSize = 4 + fmtBytes.view().size() +
                                   kChunkHeaderSize + dataSize + dataSize % 2 + listSize(before) + listSize(after);
    if (riffSize > std::numeric_limits<std::uint32_t>::max()) {
        throw std::runtime_error("The slim file would exceed the 4 GiB size limit of a WAV file");
    }

    OutputFile out(resultPath);
    // Replacing the original must not change who may read or write it.
    if (namesSameFile(resultPath, source)) out.takeModeAndOwnerOf(source);

    unsigned char riffHeader[12];
    std::copy_n("RIFF", 4, riffHeader);
    le::writeU32(riffHeader + 4, static_cast<std::uint32_t>(riffSize));
    std::copy_n("WAVE", 4, riffHeader + 8);
    out.write(riffHeader, sizeof riffHeader);

    const bool bextFirst = !before.empty() && before.front().id == "bext";
    if (bextFirst) writeChunk(out, before.front());
    out.write(fmtBytes.view().data(), fmtBytes.view().size());
    for (std::size_t i = bextFirst ? 1 : 0; i < before.size(); ++i) writeChunk(out, before[i]);

    unsigned char dataHeader[8];
    std::copy_n("data", 4, dataHeader);
    le::writeU32(dataHeader + 4, static_cast<std::uint32_t>(dataSize));
    out.write(dataHeader, sizeof dataHeader);
    copyKeptFrames(source, layout, KeptChannelGather(kept.indices, bytesPerSample, layout.fmt.blockAlign), frames, out);
    out.writeZeros(dataSize % 2);

    for (const MetaChunk& c : after) writeChunk(out, c);

    out.commit();
    return resultPath;
}

}  // namespace tracksieve
