#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

#include "tracksieve/poly_wav_info.h"

// The analysis, opened up to a copy that rides along with it over the sample data.
namespace tracksieve {

/// Bytes of room after every piece shown to a listener, for readers that load whole words.
inline constexpr std::size_t kPieceSlackBytes = 8;

/// One piece of sample data the analysis has just measured.
struct MeasuredPiece {
    /// The format and the track names; levels are not set yet.
    const PolyWavInfo& record;
    std::uint64_t dataOffset;  // where the analysed sample data start in the file
    std::size_t frameBytes;
    std::uint64_t dataFrames;  // the whole frames the analysis reads unless it stops early
    std::uint64_t firstFrame;  // of this piece, counted from the start of the data
    const unsigned char* frames;
    std::size_t frameCount;
    std::span<const double> peaks;  // each channel's peak so far, this piece included
};

using PieceListener = std::function<void(const MeasuredPiece&)>;

/// analyzePolyWav for the writer, on the file it is about to slim: shows every piece of sample
/// data to `onPiece` (which may be empty) right after measuring it, and a read that fails gives
/// the writer's own message. The record is otherwise the same; the listener must not throw.
PolyWavInfo analyzeSourceOfSlim(const std::filesystem::path& path, double threshold, const PieceListener& onPiece);

}  // namespace tracksieve
