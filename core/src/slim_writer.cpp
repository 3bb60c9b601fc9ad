#include "tracksieve/slim_writer.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <istream>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "analysis_pieces.h"
#include "bext_track_lines.h"
#include "frame_pieces.h"
#include "kept_channel_gather.h"
#include "little_endian.h"
#include "output_chunks.h"
#include "output_file.h"
#include "platform_file.h"
#include "riff_head.h"
#include "slim_routes.h"
#include "source_chunk_walk.h"
#include "source_file_buffer.h"
#include "system_reason.h"
#include "tracksieve/analysis.h"
#include "tracksieve/track_list_rewrite.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

struct KeptChannels {
    std::vector<std::int32_t> indices;
    std::vector<std::string> names;
    std::vector<std::int32_t> channelMap;
    std::vector<std::int32_t> removed;
};

TrackChoice choiceFor(const std::vector<TrackChoice>& choices, std::int32_t channel) {
    return choices.empty() ? TrackChoice::FollowThreshold : choices[static_cast<std::size_t>(channel)];
}

// The channels that stay: those chosen to be kept, and those following the threshold that
// `isSilent` does not call silent.
template <typename IsSilent>
KeptChannels keptChannelsWhere(const PolyWavInfo& info, const std::vector<TrackChoice>& choices, IsSilent isSilent) {
    KeptChannels kept;
    for (const TrackInfo& track : info.tracks) {
        const TrackChoice choice = choiceFor(choices, track.index);
        const bool goes = choice == TrackChoice::Remove || (choice == TrackChoice::FollowThreshold && isSilent(track));
        if (goes) {
            kept.removed.push_back(track.index);
            continue;
        }
        kept.indices.push_back(track.index);
        kept.names.push_back(track.name);
    }
    kept.channelMap.assign(static_cast<std::size_t>(info.channels), -1);
    for (std::size_t i = 0; i < kept.indices.size(); ++i) {
        kept.channelMap[static_cast<std::size_t>(kept.indices[i])] = static_cast<std::int32_t>(i);
    }
    return kept;
}

// Choices made for another layout would remove the wrong sound.
bool choicesFit(const PolyWavInfo& info, const std::vector<TrackChoice>& choices) {
    return choices.empty() || choices.size() == info.tracks.size();
}

KeptChannels keptChannelsOf(const PolyWavInfo& info, const std::vector<TrackChoice>& choices) {
    if (!choicesFit(info, choices)) throw std::runtime_error("The tracks of this file changed since they were chosen");
    KeptChannels kept = keptChannelsWhere(info, choices, [](const TrackInfo& track) { return track.empty; });
    if (kept.removed.empty()) throw std::runtime_error("No empty tracks to remove");
    if (kept.indices.empty()) {
        if (info.activeCount() == 0) throw std::runtime_error("All tracks are empty \xE2\x80\x94 nothing to keep");
        throw std::runtime_error("Every track would be removed \xE2\x80\x94 nothing to keep");
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

// What the source was when the slim began. Nothing but a regular file is opened: a FIFO or a
// device could block the open or never end.
platform::FileIdentity identifySource(const fs::path& source) {
    platform::FileIdentity identity;
    // The reader's own message for a file it cannot open.
    if (!platform::identify(source, identity)) throw std::runtime_error("Could not open file");
    if (!identity.regularFile) throw std::runtime_error("Not a regular file");
    return identity;
}

// A copy of a file replaced (a new take moved in) or rewritten in place since the slim began
// may hold neither take whole: it must not be put in place.
void requireUnchangedSource(const fs::path& source, const platform::FileIdentity& before) {
    constexpr const char* kChanged = "The source file changed while it was being slimmed";
    platform::FileIdentity now;
    if (!platform::identify(source, now)) throw std::runtime_error(withSystemReason(kChanged, errno));
    if (!now.sameFileUnchanged(before)) throw std::runtime_error(kChanged);
}

bool namesSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// Streams the kept channels of `frames` whole frames from the source's sample data, a bounded
// piece at a time.
void copyKeptFrames(const fs::path& source, const SourceLayout& layout, const KeptChannelGather& gather,
                    std::uint64_t frames, OutputFile& out) {
    SourceFileBuffer buffer;
    if (!buffer.open(source)) throw std::runtime_error("Could not open source file");
    std::istream in(&buffer);
    in.exceptions(std::ios::badbit);
    in.seekg(static_cast<std::streamoff>(layout.dataOffset), std::ios::beg);
    FramePieceReader reader(in, layout.fmt.blockAlign, frames, KeptChannelGather::kSlack);
    std::vector<unsigned char> outputPiece(reader.pieceFrames() * gather.outputFrameBytes() +
                                           KeptChannelGather::kSlack);

    std::uint64_t done = 0;
    while (done < frames) {
        const std::size_t got =
            reader.read(static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, reader.pieceFrames())));
        // The sizes already written promise every frame: a source that shrank must not leave
        // a file that claims more than it holds.
        if (got == 0) throw std::runtime_error("Could not read source file");
        gather.gather(reader.data(), got, outputPiece.data());
        out.write(outputPiece.data(), got * gather.outputFrameBytes());
        done += got;
    }
}

// `fact` counts the frames per channel: in the copy, exactly those copied.
void countCopiedFrames(std::vector<MetaChunk>& chunks, std::uint64_t frames) {
    for (MetaChunk& chunk : chunks) {
        if (chunk.id != "fact" || chunk.body.size() < 4) continue;
        le::writeU32(reinterpret_cast<unsigned char*>(chunk.body.data()),
                     static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, kSizeInDs64)));
    }
}

// Everything the copy writes around the kept samples, worked out before its first byte.
struct SlimPlan {
    SourceLayout layout;
    std::string head;  // the file header (and `ds64`), the chunks before the audio, the `data` header
    std::string tail;  // the samples' pad byte, the chunks after the audio
    std::uint64_t frames = 0;
    KeptChannelGather gather;
};

SlimPlan planSlimCopy(const fs::path& source, int channels, const KeptChannels& kept) {
    SourceLayout layout = walkSourceChunks(source);
    const std::uint16_t bytesPerSample = layout.fmt.bitsPerSample / 8;
    // The analysis vouched for the format; this guards the copy against a file changed since.
    if (bytesPerSample == 0 || layout.fmt.blockAlign < static_cast<std::size_t>(channels) * bytesPerSample) {
        throw std::runtime_error("Invalid format");
    }

    const FmtFields fmt = withChannels(layout.fmt, static_cast<std::uint16_t>(kept.indices.size()));
    // Frames come from the bytes really present, so the sizes written match the samples written.
    const std::uint64_t frames = layout.dataBytesPresent / layout.fmt.blockAlign;
    const std::uint64_t dataSize = frames * fmt.blockAlign;

    std::vector<MetaChunk> before = std::move(layout.beforeAudio);
    std::vector<MetaChunk> after = std::move(layout.afterAudio);
    const std::set<int> keptTracks = keptTrackNumbers(before, after, kept.indices, static_cast<std::size_t>(channels));
    for (std::vector<MetaChunk>* chunks : {&before, &after}) {
        dropRemovedTrackLinesFromBext(*chunks, keptTracks);
        countCopiedFrames(*chunks, frames);
    }
    rewriteMetaChunks(before, kept.names, kept.channelMap);
    rewriteMetaChunks(after, kept.names, kept.channelMap);
    if (!holdsIxml(before) && !holdsIxml(after)) before.push_back({"iXML", buildTrackListIxml(kept.names)});

    const std::string fmtBytes = fmtChunkBytes(fmt);
    std::string chunksBefore = bytesBeforeSamples(before, fmtBytes, dataSize, RiffForm::Riff);
    std::string tail = bytesAfterSamples(after, dataSize, RiffForm::Riff);
    const std::uint64_t plainRiffSize = 4 + chunksBefore.size() + dataSize + tail.size();
    // A copy that fits in plain RIFF is written so, whatever the source's form: most programs read it.
    const bool wide = plainRiffSize > plainRiffSizeLimit();
    const RiffForm form = !wide ? RiffForm::Riff : layout.form == RiffForm::Bw64 ? RiffForm::Bw64 : RiffForm::Rf64;
    std::vector<const MetaChunk*> chunks;
    for (const std::vector<MetaChunk>* list : {&before, &after}) {
        for (const MetaChunk& chunk : *list) chunks.push_back(&chunk);
    }
    if (wide) {
        // The same bytes, but for size fields that now defer to the `ds64`.
        chunksBefore = bytesBeforeSamples(before, fmtBytes, dataSize, form);
        tail = bytesAfterSamples(after, dataSize, form);
    }
    const std::uint64_t riffSize = plainRiffSize + (wide ? ds64ChunkSize(chunks) : 0);
    std::string head = fileHead(form, {riffSize, dataSize, frames}, chunks) + chunksBefore;
    KeptChannelGather gather(kept.indices, bytesPerSample, layout.fmt.blockAlign);
    return {std::move(layout), std::move(head), std::move(tail), frames, std::move(gather)};
}

// Replacing the original must not change who may read or write it.
void keepOwnershipIfReplacing(OutputFile& out, const fs::path& resultPath, const fs::path& source) {
    if (namesSameFile(resultPath, source)) out.takeModeAndOwnerOf(source);
}

void writeInTwoPasses(const fs::path& source, const platform::FileIdentity& identity, const PolyWavInfo& info,
                      const KeptChannels& kept, const fs::path& resultPath) {
    const SlimPlan plan = planSlimCopy(source, info.channels, kept);
    OutputFile out(resultPath, identity.permissions);
    keepOwnershipIfReplacing(out, resultPath, source);
    out.write(plan.head.data(), plan.head.size());
    copyKeptFrames(source, plan.layout, plan.gather, plan.frames, out);
    out.write(plan.tail.data(), plan.tail.size());
    out.commit([&] { requireUnchangedSource(source, identity); });
}

static_assert(KeptChannelGather::kSlack <= kPieceSlackBytes);

// A copy written while the analysis reads the samples, on a guess taken from the first piece:
// the channels still below the threshold there are the empty ones, and the user's choices hold. When the finished analysis
// bears the guess out, the copy is what the second pass would have written, and so is any
// failure met while making it. When a channel wakes up later, or the analysis does not read the
// frames the copy needs, the copy is dropped and made afresh after the analysis.
class RideAlongCopy {
public:
    RideAlongCopy(const fs::path& source, const platform::FileIdentity& identity, const fs::path& resultPath,
                  const SlimOptions& options)
        : source_(source),
          identity_(identity),
          resultPath_(resultPath),
          threshold_(options.threshold),
          choices_(options.choices) {}

    void take(const MeasuredPiece& piece) noexcept {
        if (stopped_) return;
        try {
            if (!out_) start(piece);
            if (stopped_) return;
            for (const std::size_t channel : guessedEmpty_) {
                if (!(threshold_ > piece.peaks[channel])) return stop();
            }
            if (piece.firstFrame != framesCopied_ || framesCopied_ + piece.frameCount > plan_->frames) return stop();
            const std::size_t bytes = piece.frameCount * plan_->gather.outputFrameBytes();
            if (outputPiece_.size() < bytes + KeptChannelGather::kSlack)
                outputPiece_.resize(bytes + KeptChannelGather::kSlack);
            plan_->gather.gather(piece.frames, piece.frameCount, outputPiece_.data());
            out_->write(outputPiece_.data(), bytes);
            framesCopied_ += piece.frameCount;
        } catch (...) {
            failure_ = std::current_exception();
            stop();
        }
    }

    /// Completes the copy when the analysis kept exactly the guessed channels, or throws what
    /// went wrong while making it. False when the copy has to be made afresh; its temporary
    /// file is gone by then.
    bool finish(const KeptChannels& kept) {
        if (kept.indices != keptIndices_) {
            stop();
            return false;
        }
        if (failure_) std::rethrow_exception(failure_);
        if (!out_ || framesCopied_ != plan_->frames) {
            stop();
            return false;
        }
        // A second pass would find these frames gone from a source that shrank since.
        if (sourceShrank()) throw std::runtime_error("Could not read source file");
        out_->write(plan_->tail.data(), plan_->tail.size());
        out_->commit([&] { requireUnchangedSource(source_, identity_); });
        return true;
    }

private:
    void start(const MeasuredPiece& piece) {
        if (piece.firstFrame != 0 || !choicesFit(piece.record, choices_)) return stop();
        const auto guessedEmpty = [&](const TrackInfo& track) {
            return threshold_ > piece.peaks[static_cast<std::size_t>(track.index)];
        };
        const KeptChannels guess = keptChannelsWhere(piece.record, choices_, guessedEmpty);
        if (guess.indices.empty() || guess.removed.empty()) return stop();
        // Only a channel that follows the threshold can wake up and change what the copy holds.
        for (const TrackInfo& track : piece.record.tracks) {
            if (choiceFor(choices_, track.index) == TrackChoice::FollowThreshold && guessedEmpty(track)) {
                guessedEmpty_.push_back(static_cast<std::size_t>(track.index));
            }
        }
        keptIndices_ = guess.indices;

        plan_.emplace(planSlimCopy(source_, piece.record.channels, guess));
        // The copy takes its bytes from the analysis, so both must mean the same frames.
        if (plan_->layout.dataOffset != piece.dataOffset || plan_->layout.fmt.blockAlign != piece.frameBytes ||
            plan_->frames != piece.dataFrames) {
            return stop();
        }
        out_ = std::make_unique<OutputFile>(resultPath_, identity_.permissions);
        keepOwnershipIfReplacing(*out_, resultPath_, source_);
        out_->write(plan_->head.data(), plan_->head.size());
    }

    bool sourceShrank() const {
        std::error_code ec;
        const std::uint64_t size = fs::file_size(source_, ec);
        return ec || size < plan_->layout.dataOffset + plan_->frames * plan_->layout.fmt.blockAlign;
    }

    void stop() {
        stopped_ = true;
        out_.reset();
    }

    fs::path source_;
    platform::FileIdentity identity_;
    fs::path resultPath_;
    double threshold_;
    std::vector<TrackChoice> choices_;
    bool stopped_ = false;
    std::vector<std::size_t> guessedEmpty_;
    std::vector<std::int32_t> keptIndices_;
    std::optional<SlimPlan> plan_;
    std::unique_ptr<OutputFile> out_;
    std::vector<unsigned char> outputPiece_;
    std::uint64_t framesCopied_ = 0;
    std::exception_ptr failure_;
};

}  // namespace

SlimOutcome slimPolyWavByRoute(const fs::path& source, const SlimOptions& options, SlimRoute route) {
    const fs::path resultPath = !options.outputPath.empty() ? options.outputPath
                                : options.overwrite         ? source
                                                            : slimPathFor(source);
    const platform::FileIdentity identity = identifySource(source);
    try {
        std::optional<RideAlongCopy> rideAlong;
        if (route == SlimRoute::OnePassWhereItCan) rideAlong.emplace(source, identity, resultPath, options);

        PieceListener onPiece;
        if (rideAlong) onPiece = [&](const MeasuredPiece& piece) { rideAlong->take(piece); };
        const PolyWavInfo info = analyzeSourceOfSlim(source, options.threshold, onPiece);
        if (!info.error.empty()) throw std::runtime_error(info.error);
        const KeptChannels kept = keptChannelsOf(info, options.choices);
        const bool inOnePass = rideAlong && rideAlong->finish(kept);
        rideAlong.reset();

        if (!inOnePass) writeInTwoPasses(source, identity, info, kept, resultPath);
        return {resultPath, kept.indices, kept.removed, inOnePass};
    } catch (const SourceReadError& e) {
        requireUnchangedSource(source, identity);
        throw std::runtime_error(e.describedAs("Could not read source file"));
    } catch (const std::exception&) {
        // Bytes of a file changed part way may fail the slim for reasons of their own making (a
        // broken chunk, no silent track): the change is the cause to name.
        requireUnchangedSource(source, identity);
        throw;
    }
}

SlimOutcome slimPolyWav(const fs::path& source, const SlimOptions& options) {
    try {
        return slimPolyWavByRoute(source, options, SlimRoute::OnePassWhereItCan);
    } catch (const std::bad_alloc&) {
        // Metadata chunks are held whole; one file with a huge one must not end a run over many.
        throw std::runtime_error("Not enough memory to slim this file");
    }
}

fs::path compressPolyWav(const fs::path& source, bool overwrite, double threshold, const fs::path& outputPath) {
    return slimPolyWav(source, {.overwrite = overwrite, .outputPath = outputPath, .threshold = threshold}).path;
}

}  // namespace tracksieve
