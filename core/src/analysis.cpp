#include "tracksieve/analysis.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "channel_levels.h"
#include "recorder_metadata.h"
#include "tracksieve/fixed_values.h"
#include "wav_reader.h"

namespace tracksieve {
namespace {

// Float samples are read four bytes at a time, so float data only makes sense at 32 bits.
std::optional<SampleEncoding> encodingOf(const WavFile& wav) {
    if (wav.sampleFormat == kFormatFloat) {
        if (wav.bitsPerSample == 32) return SampleEncoding::Float32;
        return std::nullopt;
    }
    switch (wav.bitsPerSample) {
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
// channel can then end up empty) or the data ends.
ScanResult scanSamples(WavFile& wav, SampleEncoding encoding, std::uint64_t totalFrames, double threshold) {
    const std::size_t channels = wav.channels;
    ScanResult scan{std::vector<double>(channels, 0.0), std::vector<double>(channels, 0.0)};
    if (totalFrames == 0) return scan;

    std::istream& in = *wav.stream;
    in.clear();
    in.seekg(wav.dataOffset, std::ios::beg);
    const std::size_t blockAlign = wav.blockAlign;
    // Only bytes just read are ever decoded, so the buffer needs no zero fill.
    const auto block = std::make_unique_for_overwrite<unsigned char[]>(blockAlign * kBlockFrames);
    auto reachedThreshold = [threshold](double peak) { return !(peak < threshold); };

    while (scan.framesScanned < totalFrames) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(totalFrames - scan.framesScanned, kBlockFrames));
        in.read(reinterpret_cast<char*>(block.get()), static_cast<std::streamsize>(wanted * blockAlign));
        const std::size_t frames = static_cast<std::size_t>(in.gcount()) / blockAlign;
        if (frames == 0) break;
        accumulateFrames(encoding, block.get(), frames, blockAlign, channels, scan.peaks.data(),
                         scan.sumsOfSquares.data());
        scan.framesScanned += frames;
        if (std::all_of(scan.peaks.begin(), scan.peaks.end(), reachedThreshold)) break;
    }
    return scan;
}

std::vector<std::string> defaultTrackNames(std::size_t channels) {
    std::vector<std::string> names;
    names.reserve(channels);
    for (std::size_t i = 0; i < channels; ++i) names.push_back("Track " + std::to_string(i + 1));
    return names;
}

// The analysis after `openWav`, whatever the bytes came from; a failed open left its message.
PolyWavInfo analyzeOpened(WavFile& wav, const std::filesystem::path& path, double threshold) {
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
    // A frame too small for its samples would have the decoder read into the next frame.
    if (wav.blockAlign < static_cast<std::size_t>(wav.channels) * (wav.bitsPerSample / 8)) {
        info.error = "Invalid format";
        return info;
    }

    info.channels = wav.channels;
    info.sampleRate = static_cast<std::int32_t>(wav.sampleRate);
    info.bitsPerSample = wav.bitsPerSample;
    info.isFloat = wav.sampleFormat == kFormatFloat;

    const std::uint64_t totalFrames = wav.dataSize / wav.blockAlign;
    info.durationSeconds =
        wav.sampleRate == 0 ? 0.0 : static_cast<double>(totalFrames) / static_cast<double>(wav.sampleRate);

    readIxmlTimecode(wav);
    if (wav.hasTimeReference) info.timecode = formatTimecode(wav.timeReference, info.sampleRate, wav.timecodeRate);

    const ScanResult scan = scanSamples(wav, *encoding, totalFrames, threshold);
    std::vector<std::string> names = defaultTrackNames(wav.channels);
    readIxmlTrackNames(wav.ixmlText, names);

    info.tracks.resize(wav.channels);
    for (std::size_t i = 0; i < info.tracks.size(); ++i) {
        TrackInfo& track = info.tracks[i];
        track.index = static_cast<std::int32_t>(i);
        track.name = names[i];
        track.peak = scan.peaks[i];
        track.rms = scan.framesScanned > 0
                        ? std::sqrt(scan.sumsOfSquares[i] / static_cast<double>(scan.framesScanned))
                        : 0.0;
        track.empty = threshold > scan.peaks[i];
    }
    return info;
}

}  // namespace

PolyWavInfo analyzePolyWav(const std::filesystem::path& path, double threshold) {
    WavFile wav;
    openWav(path, wav);
    return analyzeOpened(wav, path, threshold);
}

PolyWavInfo analyzePolyWav(std::istream& source, const std::filesystem::path& path, double threshold) {
    WavFile wav;
    openWav(source, wav);
    return analyzeOpened(wav, path, threshold);
}

}  // namespace tracksieve
