#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>

namespace tracksieve {

/// The most bytes of sample data held at once by one read. A block of 48000 frames stays the
/// unit of the early stop, but with wide frames (up to 65535 bytes each) a whole block would
/// cost gigabytes, so it is read in pieces of whole frames no larger than this.
inline constexpr std::size_t kMaxPieceBytes = std::size_t{4} << 20;

/// How many frames of `frameBytes` bytes one piece holds: as many as fit in kMaxPieceBytes,
/// at least one, at most a block.
std::size_t framesPerPiece(std::size_t frameBytes);

/// Reads whole frames from a stream into one buffer of a single piece, reused for every read.
class FramePieceReader {
public:
    /// `slackBytes` are added past the piece for consumers that read a little beyond it. A piece
    /// holds no more than the `framesWanted` the caller will read in all, so a short file costs
    /// a small buffer.
    FramePieceReader(std::istream& in, std::size_t frameBytes, std::uint64_t framesWanted, std::size_t slackBytes = 0);

    std::size_t pieceFrames() const { return pieceFrames_; }
    const unsigned char* data() const { return buffer_.get(); }

    /// Reads up to `frames` frames (at most `pieceFrames()`) and returns how many whole frames
    /// came. Fewer than asked means the data ended; a partial frame at the end is dropped.
    std::size_t read(std::size_t frames);

private:
    std::istream& in_;
    std::size_t frameBytes_;
    std::size_t pieceFrames_;
    std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace tracksieve
