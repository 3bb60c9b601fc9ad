#include "frame_pieces.h"

#include <algorithm>

#include "tracksieve/fixed_values.h"

namespace tracksieve {

std::size_t framesPerPiece(std::size_t frameBytes) {
    if (frameBytes == 0) return kBlockFrames;
    return std::clamp<std::size_t>(kMaxPieceBytes / frameBytes, 1, kBlockFrames);
}

FramePieceReader::FramePieceReader(std::istream& in, std::size_t frameBytes, std::uint64_t framesWanted,
                                   std::size_t slackBytes)
    : in_(in),
      frameBytes_(frameBytes),
      pieceFrames_(static_cast<std::size_t>(std::clamp<std::uint64_t>(framesWanted, 1, framesPerPiece(frameBytes)))),
      // Only bytes just read are ever used, so the buffer needs no zero fill.
      buffer_(std::make_unique_for_overwrite<unsigned char[]>(pieceFrames_ * frameBytes + slackBytes)) {}

std::size_t FramePieceReader::read(std::size_t frames) {
    if (frameBytes_ == 0) return 0;
    const std::size_t wanted = std::min(frames, pieceFrames_);
    in_.read(reinterpret_cast<char*>(buffer_.get()), static_cast<std::streamsize>(wanted * frameBytes_));
    return static_cast<std::size_t>(in_.gcount()) / frameBytes_;
}

}  // namespace tracksieve
