#include "tracksieve/analysis.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "analysis_pieces.h"
#include "channel_levels.h"
#include "read_ahead_pieces.h"
#include "recorder_metadata.h"
#include "tracksieve/fixed_values.h"
#include "wav_reader.h"

namespace tracksieve {
namespace {

// Float samples are read four bytes at a time, so float data only makes sense at 32 bits.
std::optional<SampleEncoding> encodingOf(const WavFile& wav) {
    if (wav.fmt.sampleFormat == kFormatFloat) {
        if (wav.fmt.bitsPerSample == 32) return SampleEncoding::Float32;
        return std::nullopt;
    }
    switch (wav.fmt.bitsPerSample) {
    case 16: return SampleEncoding::Pcm16;
    case 24: return SampleEncoding::Pcm24;
    default: return SampleEncoding::Pcm32;
    }
}

struct ScanResult {
    std::vector<double> peaks;
    std::vector<double> sumsOfSquares;
    std::uint64_t framesScanned = 0;
};

// Reads the sample data block by block until every channel has reached the threshold (no
// channel can then end up empty) or the data ends. A block is read in bounded pieces.
ScanResult scanSamples(WavFile& wav, SampleEncoding encoding, std::uint64_t totalFrames, double threshold,
                       const PolyWavInfo& record, const PieceListener& onPiece) {
    const std::size_t channels = wav.fmt.channels;
    ScanResult scan{std::vector<double>(channels, 0.0), std::vector<double>(channels, 0.0)};
    if (totalFrames == 0) return scan;

    std::istream& in = *wav.stream;
    in.clear();
    in.seekg(wav.dataOffset, std::ios::beg);
    const std::size_t blockAlign = wav.fmt.blockAlign;
    ReadAheadPieces pieces(in, blockAlign, totalFrames, kPieceSlackBytes);
    auto reachedThreshold = [threshold](double peak) { return !(peak < threshold); };

    for (;;) {
        const ReadAheadPieces::Piece piece = pieces.next();
        accumulateFrames(encoding, piece.frames, piece.count, blockAlign, channels, scan.peaks.data(),
                         scan.sumsOfSquares.data());
        if (onPiece) {
            onPiece({record, static_cast<std::uint64_t>(wav.dataOffset), blockAlign, totalFrames, scan.framesScanned,
                     piece.frames, piece.count, scan.peaks});
        }
        scan.framesScanned += piece.count;
        // The bytes were there when the file was opened: a file that lost them since was cut
        // or replaced, and what is left of it says nothing about the channels.
        if (piece.last && scan.framesScanned < totalFrames) throw SourceReadError({});
        if (piece.last) break;
        if (piece.endsBlock && std::all_of(scan.peaks.begin(), scan.peaks.end(), reachedThreshold)) break;
    }
    return scan;
}

// The decoder takes the samples to sit side by side from the start of each frame. A frame too
// small for them would have it read into the next frame. A frame that splits evenly into
// containers wider than the sample (24 bits in 4 bytes) does not say where in its container
// each sample sits, and a wrong guess can make a sounding channel look empty. Padding that does
// not split among the channels can only sit at the end of the frame.
bool frameLayoutIsKnown(const WavFile& wav) {
    const std::size_t bytesPerSample = wav.fmt.bitsPerSample / 8;
    if (wav.fmt.blockAlign < wav.fmt.channels * bytesPerSample) return false;
    return wav.fmt.blockAlign % wav.fmt.channels != 0 || wav.fmt.blockAlign / wav.fmt.channels == bytesPerSample;
}

std::vector<std::string> defaultTrackNames(std::size_t channels) {
    std::vector<std::string> names;
    names.reserve(channels);
    for (std::size_t i = 0; i < channels; ++i) names.push_back("Track " + std::to_string(i + 1));
    return names;
}

PolyWavInfo failedRecord(const std::filesystem::path& path, std::string message) {
    PolyWavInfo info;
    info.path = path;
    info.error = std::move(message);
    return info;
}

// The analysis after `openWav`, whatever the bytes came from; a failed open left its message.
PolyWavInfo analyzeOpened(WavFile& wav, const std::filesystem::path& path, double threshold,
                          const PieceListener& onPiece) {
    PolyWavInfo info;
    info.path = path;
    if (!wav.error.empty()) {
        info.error = wav.error;
        return info;
    }
    const std::optional<SampleEncoding> encoding = encodingOf(wav);
    if (!encoding) {
        info.error = "Unsupported bit depth";
        return info;
    }
    if (!frameLayoutIsKnown(wav)) {
        info.error = "Invalid format";
        return info;
    }

    info.channels = wav.fmt.channels;
    info.sampleRate = static_cast<std::int32_t>(wav.fmt.sampleRate);
    info.bitsPerSample = wav.fmt.bitsPerSample;
    info.isFloat = wav.fmt.sampleFormat == kFormatFloat;

    // A crashed recorder may leave a size that runs past the end of the file: only the frames
    // really there count, so that the duration matches what a slim copy will hold.
    const std::uint64_t totalFrames = wav.dataBytesPresent / wav.fmt.blockAlign;
    info.lengthTakenFromFile = wav.lengthTakenFromFile;
    info.durationSeconds =
        wav.fmt.sampleRate == 0 ? 0.0 : static_cast<double>(totalFrames) / static_cast<double>(wav.fmt.sampleRate);

    readIxmlTimecode(wav);
    if (wav.hasTimeReference) info.timecode = formatTimecode(wav.timeReference, info.sampleRate, wav.timecodeRate);

    readSceneAndTake(wav, info);

    std::vector<std::string> names = defaultTrackNames(wav.fmt.channels);
    readIxmlTrackNames(wav.ixmlText, names);
    info.tracks.resize(wav.fmt.channels);
    for (std::size_t i = 0; i < info.tracks.size(); ++i) {
        info.tracks[i].index = static_cast<std::int32_t>(i);
        info.tracks[i].name = std::move(names[i]);
    }

    const ScanResult scan = scanSamples(wav, *encoding, totalFrames, threshold, info, onPiece);
    for (std::size_t i = 0; i < info.tracks.size(); ++i) {
        TrackInfo& track = info.tracks[i];
        track.peak = scan.peaks[i];
        track.rms =
            scan.framesScanned > 0 ? std::sqrt(scan.sumsOfSquares[i] / static_cast<double>(scan.framesScanned)) : 0.0;
    }
    judgeTracks(info, threshold);
    return info;
}

// Whatever goes wrong with one file must not end a scan of many: it becomes that file's failed
// record.
template <typename Open>
PolyWavInfo analyzeGuarded(const std::filesystem::path& path, double threshold, Open open,
                           const PieceListener& onPiece = {}, std::string_view readFailure = kCouldNotReadFile) {
    try {
        WavFile wav;
        open(wav);
        return analyzeOpened(wav, path, threshold, onPiece);
    } catch (const SourceReadError& e) {
        return failedRecord(path, e.describedAs(readFailure));
    } catch (const std::bad_alloc&) {
        return failedRecord(path, "Not enough memory to analyse this file");
    } catch (const std::exception& e) {
        return failedRecord(path, e.what());
    }
}

}  // namespace

PolyWavInfo analyzePolyWav(const std::filesystem::path& path, double threshold) {
    return analyzeGuarded(path, threshold, [&path](WavFile& wav) { openWav(path, wav); });
}

PolyWavInfo analyzePolyWav(std::istream& source, const std::filesystem::path& path, double threshold) {
    return analyzeGuarded(path, threshold, [&source](WavFile& wav) { openWav(source, wav); });
}

PolyWavInfo analyzeSourceOfSlim(const std::filesystem::path& path, double threshold, const PieceListener& onPiece) {
    return analyzeGuarded(
        path, threshold, [&path](WavFile& wav) { openWav(path, wav); }, onPiece, "Could not read source file");
}

void judgeTracks(PolyWavInfo& record, double threshold) {
    for (TrackInfo& track : record.tracks) track.empty = threshold > track.peak;
}

}  // namespace tracksieve
