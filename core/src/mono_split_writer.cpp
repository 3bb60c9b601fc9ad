#include "tracksieve/mono_split.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "analysis_pieces.h"
#include "bext_track_lines.h"
#include "kept_channel_gather.h"
#include "output_chunks.h"
#include "output_file.h"
#include "platform_file.h"
#include "read_ahead_pieces.h"
#include "riff_head.h"
#include "source_chunk_walk.h"
#include "split_metadata.h"
#include "tracksieve/analysis.h"
#include "tracksieve/path_text.h"
#include "tracksieve/track_list_rewrite.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBextDescriptionSize = 256;

bool keptBy(const SplitOptions& options, std::size_t channel, bool belowThreshold) {
    const TrackChoice choice =
        channel < options.choices.size() ? options.choices[channel] : TrackChoice::FollowThreshold;
    return choice == TrackChoice::Keep || (choice == TrackChoice::FollowThreshold && !belowThreshold);
}

template <typename BelowThreshold>
std::vector<std::int32_t> keptChannelsWhere(const PolyWavInfo& record, const SplitOptions& options,
                                            BelowThreshold belowThreshold) {
    std::vector<std::int32_t> kept;
    for (const TrackInfo& track : record.tracks) {
        if (keptBy(options, static_cast<std::size_t>(track.index), belowThreshold(track))) kept.push_back(track.index);
    }
    return kept;
}

// One mono file: everything around its samples, worked out before its first byte.
struct MonoFilePlan {
    fs::path path;
    std::string head;  // RIFF header, the chunks before the audio, the `data` header
    std::string tail;  // the pad byte of odd sample data, the chunks after the audio
    KeptChannelGather gather;
};

struct SplitPlan {
    std::uint64_t dataOffset = 0;
    std::size_t frameBytes = 0;
    std::uint64_t frames = 0;
    std::uint16_t bytesPerSample = 0;
    unsigned permissions = 0;  // the source's, for every mono file
    std::vector<MonoFilePlan> files;
};

std::string_view firstIxmlText(const SourceLayout& layout) {
    for (const std::vector<MetaChunk>* side : {&layout.beforeAudio, &layout.afterAudio}) {
        for (const MetaChunk& c : *side) {
            if (isXmlChunkId(c.id)) return c.body;
        }
    }
    return {};
}

fs::path monoPathFor(const fs::path& source, const fs::path& outputDir, std::int32_t number) {
    fs::path name = source.stem();
    name += "_";
    name += std::to_string(number);
    name += source.extension();
    return (outputDir.empty() ? source.parent_path() : outputDir) / name;
}

// A take rewritten in place or replaced since the split began may have given the files parts
// of two takes, or of one no longer there: they must not take their names.
void requireUnchangedSource(const fs::path& source, const platform::FileIdentity& before) {
    constexpr const char* kChanged = "The source file changed while it was being split";
    platform::FileIdentity now;
    if (!platform::identify(source, now) || !now.sameFileUnchanged(before)) throw std::runtime_error(kChanged);
}

// Names that a file system which ignores case would take for one.
bool sameNameIgnoringCase(const fs::path& a, const fs::path& b) {
    const auto lower = [](auto c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    const fs::path::string_type& x = a.native();
    const fs::path::string_type& y = b.native();
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [&](auto p, auto q) { return lower(p) == lower(q); });
}

// Checked before the first byte, so that a refused split writes nothing. Only a file of the same
// name is asked about, so that a run over a whole card stays fast.
void requireFreeName(const fs::path& mono, const SplitOptions& options) {
    for (const fs::path& kept : options.mustNotReplace) {
        std::error_code ec;
        if (sameNameIgnoringCase(mono.filename(), kept.filename()) && fs::equivalent(mono, kept, ec)) {
            throw std::runtime_error("The mono file " + pathToUtf8(mono.filename()) +
                                     " would replace one of the files given or already written");
        }
    }
}

// The source's chunks as the mono file of `channel` holds them: the track list of that one
// track, the family of files it belongs to, per-channel chunks for that channel only.
void rewriteForOneChannel(std::vector<MetaChunk>& chunks, const PolyWavInfo& record, std::int32_t channel,
                          std::int32_t number, int totalFiles, std::string_view familyUid) {
    std::vector<std::int32_t> channelMap(static_cast<std::size_t>(record.channels), -1);
    channelMap[static_cast<std::size_t>(channel)] = 0;
    rewriteMetaChunks(chunks, {record.tracks[static_cast<std::size_t>(channel)].name}, channelMap, {number});
    for (MetaChunk& c : chunks) {
        if (c.id == "iXML") c.body = withFileSet(c.body, totalFiles, number, familyUid);
        if (c.id == "bext") {
            const std::size_t descriptionSize = std::min<std::size_t>(c.body.size(), kBextDescriptionSize);
            c.body.replace(0, descriptionSize, dropRemovedTrackLines(c.body.substr(0, descriptionSize), {number}));
        }
    }
}

SplitPlan planSplit(const fs::path& source, const PolyWavInfo& record, const std::vector<std::int32_t>& kept,
                    const SplitOptions& options) {
    const SourceLayout layout = walkSourceChunks(source);
    const auto bytesPerSample = static_cast<std::uint16_t>(layout.fmt.bitsPerSample / 8);
    // The analysis vouched for the format; this guards the copy against a file changed since.
    if (bytesPerSample == 0 || layout.fmt.blockAlign < static_cast<std::size_t>(record.channels) * bytesPerSample) {
        throw std::runtime_error("Invalid format");
    }

    SplitPlan plan;
    platform::FileIdentity identity;
    plan.permissions = platform::identify(source, identity) ? identity.permissions : 0600u;
    plan.dataOffset = layout.dataOffset;
    plan.frameBytes = layout.fmt.blockAlign;
    plan.frames = layout.dataBytesPresent / layout.fmt.blockAlign;
    plan.bytesPerSample = bytesPerSample;
    const std::uint64_t dataSize = plan.frames * bytesPerSample;

    const std::string fmtBytes = fmtChunkBytes(withChannels(layout.fmt, 1));

    const std::string_view ixml = firstIxmlText(layout);
    const std::vector<std::int32_t> numbers = recorderTrackNumbers(ixml, static_cast<std::size_t>(record.channels));
    std::string familyUid = fileSetFamilyUid(ixml);
    if (familyUid.empty()) familyUid = newFamilyUid();
    const auto isXml = [](const MetaChunk& c) { return isXmlChunkId(c.id); };
    const bool sourceHasXml = std::any_of(layout.beforeAudio.begin(), layout.beforeAudio.end(), isXml) ||
                              std::any_of(layout.afterAudio.begin(), layout.afterAudio.end(), isXml);

    for (const std::int32_t channel : kept) {
        const std::int32_t number = numbers[static_cast<std::size_t>(channel)];
        std::vector<MetaChunk> before = layout.beforeAudio;
        std::vector<MetaChunk> after = layout.afterAudio;
        if (!sourceHasXml) before.push_back({"iXML", ""});
        const auto files = static_cast<int>(kept.size());
        rewriteForOneChannel(before, record, channel, number, files, familyUid);
        rewriteForOneChannel(after, record, channel, number, files, familyUid);

        const std::string chunksBefore = bytesBeforeSamples(before, fmtBytes, dataSize, RiffForm::Riff);
        std::string tail = bytesAfterSamples(after, dataSize, RiffForm::Riff);
        const std::uint64_t riffSize = 4 + chunksBefore.size() + dataSize + tail.size();
        if (riffSize > std::numeric_limits<std::uint32_t>::max()) {
            throw std::runtime_error("The mono file would exceed the 4 GiB size limit of a WAV file");
        }
        std::string head = fileHead(RiffForm::Riff, {riffSize, dataSize, plan.frames}, {}) + chunksBefore;
        fs::path path = monoPathFor(source, options.outputDir, number);
        requireFreeName(path, options);
        plan.files.push_back({std::move(path), std::move(head), std::move(tail),
                              KeptChannelGather({channel}, bytesPerSample, layout.fmt.blockAlign)});
    }
    return plan;
}

// The open mono files of one split. None takes its name before all are complete and on disk;
// until then, or when that fails, the destructor removes every one still unnamed. While they
// take their names one by one, a signal removes those already named.
class MonoFiles {
public:
    explicit MonoFiles(const SplitPlan& plan) : plan_(plan), folder_(plan.files.front().path.parent_path()) {
        for (const MonoFilePlan& file : plan.files) {
            files_.push_back(std::make_unique<OutputFile>(file.path, plan.permissions));
            files_.back()->write(file.head.data(), file.head.size());
        }
    }

    ~MonoFiles() {
        // A later file failed to take its name: the earlier ones go too, so that no part of the
        // set is left behind.
        if (named_ < files_.size()) {
            for (std::size_t i = 0; i < named_; ++i) {
                std::error_code ec;
                fs::remove(plan_.files[i].path, ec);
            }
        }
        for (const int slot : namedSlots_) platform::forgetOnSignal(slot);
    }

    MonoFiles(const MonoFiles&) = delete;
    MonoFiles& operator=(const MonoFiles&) = delete;

    void write(const unsigned char* frames, std::size_t count) {
        const std::size_t bytes = count * plan_.bytesPerSample;
        if (piece_.size() < bytes + KeptChannelGather::kSlack) piece_.resize(bytes + KeptChannelGather::kSlack);
        for (std::size_t i = 0; i < files_.size(); ++i) {
            plan_.files[i].gather.gather(frames, count, piece_.data());
            files_[i]->write(piece_.data(), bytes);
        }
    }

    void commit(const std::function<void()>& beforeRenames) {
        for (std::size_t i = 0; i < files_.size(); ++i) {
            files_[i]->write(plan_.files[i].tail.data(), plan_.files[i].tail.size());
        }
        for (const std::unique_ptr<OutputFile>& file : files_) file->flushAndClose();
        beforeRenames();
        for (; named_ < files_.size(); ++named_) {
            files_[named_]->commitLeavingFolderUnsynced();
            namedSlots_.push_back(folder_.removeOnSignal(plan_.files[named_].path.filename()));
        }
        // Best effort, as for a single file: every rename has happened.
        folder_.sync();
        for (const int slot : namedSlots_) platform::forgetOnSignal(slot);
        namedSlots_.clear();
    }

private:
    const SplitPlan& plan_;
    platform::Folder folder_;
    std::vector<int> namedSlots_;
    std::vector<std::unique_ptr<OutputFile>> files_;
    std::vector<unsigned char> piece_;
    std::size_t named_ = 0;
};

static_assert(KeptChannelGather::kSlack <= kPieceSlackBytes);

// Reads the source's sample data once, each piece going to every mono file.
void writeInOneRead(const fs::path& source, const platform::FileIdentity& identity, const SplitPlan& plan) {
    MonoFiles files(plan);
    std::ifstream in(source, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(plan.dataOffset), std::ios::beg);
    if (!in) throw std::runtime_error("Could not read source file");
    std::uint64_t done = 0;
    if (plan.frames > 0) {
        ReadAheadPieces pieces(in, plan.frameBytes, plan.frames, kPieceSlackBytes);
        for (;;) {
            const ReadAheadPieces::Piece piece = pieces.next();
            files.write(piece.frames, piece.count);
            done += piece.count;
            if (piece.last) break;
        }
    }
    // The sizes already written promise every frame: a source that shrank must not leave files
    // that claim more than they hold.
    if (done != plan.frames) throw std::runtime_error("Could not read source file");
    files.commit([&] { requireUnchangedSource(source, identity); });
}

// The mono files written while the analysis reads the samples, on a guess taken from the first
// piece, as the slim's copy rides along: kept when the finished analysis bears the guess out,
// dropped (and written afresh in one read) when a channel wakes up later or the analysis stops
// before the end of the data.
class SplitRideAlong {
public:
    SplitRideAlong(const fs::path& source, const platform::FileIdentity& identity, const SplitOptions& options)
        : source_(source), identity_(identity), options_(options) {}

    void take(const MeasuredPiece& piece) noexcept {
        if (stopped_) return;
        try {
            if (!files_) start(piece);
            if (stopped_) return;
            for (const std::size_t channel : guessedBelow_) {
                if (!(options_.threshold > piece.peaks[channel])) return stop();
            }
            if (piece.firstFrame != framesCopied_ || framesCopied_ + piece.frameCount > plan_->frames) return stop();
            files_->write(piece.frames, piece.frameCount);
            framesCopied_ += piece.frameCount;
        } catch (...) {
            failure_ = std::current_exception();
            stop();
        }
    }

    /// Names the files when the analysis kept exactly the guessed channels, or throws what went
    /// wrong while writing them. False when they have to be written afresh.
    bool finish(const std::vector<std::int32_t>& kept) {
        if (kept != guessedKept_) {
            stop();
            return false;
        }
        if (failure_) std::rethrow_exception(failure_);
        if (!files_ || framesCopied_ != plan_->frames) {
            stop();
            return false;
        }
        std::error_code ec;
        const std::uint64_t size = fs::file_size(source_, ec);
        if (ec || size < plan_->dataOffset + plan_->frames * plan_->frameBytes) {
            throw std::runtime_error("Could not read source file");
        }
        files_->commit([&] { requireUnchangedSource(source_, identity_); });
        files_.reset();
        return true;
    }

    std::optional<SplitPlan> takePlan() { return std::move(plan_); }

private:
    void start(const MeasuredPiece& piece) {
        if (piece.firstFrame != 0) return stop();
        const auto below = [&](const TrackInfo& track) {
            return options_.threshold > piece.peaks[static_cast<std::size_t>(track.index)];
        };
        guessedKept_ = keptChannelsWhere(piece.record, options_, below);
        if (guessedKept_.empty()) return stop();
        for (const TrackInfo& track : piece.record.tracks) {
            const auto channel = static_cast<std::size_t>(track.index);
            const bool follows =
                channel >= options_.choices.size() || options_.choices[channel] == TrackChoice::FollowThreshold;
            if (follows && below(track)) guessedBelow_.push_back(channel);
        }
        plan_.emplace(planSplit(source_, piece.record, guessedKept_, options_));
        // The files take their bytes from the analysis, so both must mean the same frames.
        if (plan_->dataOffset != piece.dataOffset || plan_->frameBytes != piece.frameBytes ||
            plan_->frames != piece.dataFrames) {
            return stop();
        }
        files_ = std::make_unique<MonoFiles>(*plan_);
    }

    void stop() {
        stopped_ = true;
        files_.reset();
    }

    fs::path source_;
    const platform::FileIdentity& identity_;
    const SplitOptions& options_;
    bool stopped_ = false;
    std::vector<std::int32_t> guessedKept_;
    std::vector<std::size_t> guessedBelow_;
    std::optional<SplitPlan> plan_;
    std::unique_ptr<MonoFiles> files_;
    std::uint64_t framesCopied_ = 0;
    std::exception_ptr failure_;
};

SplitOutcome split(const fs::path& source, const SplitOptions& options) {
    platform::FileIdentity identity;
    // The reader's own message for a file it cannot open.
    if (!platform::identify(source, identity)) throw std::runtime_error("Could not open file");
    SplitRideAlong rideAlong(source, identity, options);
    const PolyWavInfo info =
        analyzeSourceOfSlim(source, options.threshold, [&](const MeasuredPiece& piece) { rideAlong.take(piece); });
    if (!info.error.empty()) throw std::runtime_error(info.error);
    const std::vector<std::int32_t> kept = keptChannelsWhere(info, options, [](const TrackInfo& t) { return t.empty; });
    if (kept.empty()) {
        if (info.activeCount() == 0) throw std::runtime_error("All tracks are empty \xE2\x80\x94 nothing to keep");
        throw std::runtime_error("Every track would be removed \xE2\x80\x94 nothing to keep");
    }

    SplitOutcome outcome;
    outcome.keptChannels = kept;
    for (const TrackInfo& track : info.tracks) {
        if (std::find(kept.begin(), kept.end(), track.index) == kept.end())
            outcome.removedChannels.push_back(track.index);
    }
    outcome.inOnePass = rideAlong.finish(kept);
    std::optional<SplitPlan> plan = rideAlong.takePlan();
    if (!outcome.inOnePass) {
        plan.emplace(planSplit(source, info, kept, options));
        writeInOneRead(source, identity, *plan);
    }
    for (const MonoFilePlan& file : plan->files) outcome.written.push_back(file.path);
    return outcome;
}

}  // namespace

SplitOutcome splitPolyWav(const fs::path& source, const SplitOptions& options) {
    try {
        return split(source, options);
    } catch (const std::bad_alloc&) {
        // Metadata chunks are held whole; one file with a huge one must not end a run over many.
        throw std::runtime_error("Not enough memory to split this file");
    }
}

}  // namespace tracksieve
