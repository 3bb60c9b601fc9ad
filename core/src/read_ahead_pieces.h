#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "frame_pieces.h"

namespace tracksieve {

/// The sample data of one file as whole-frame pieces, in file order, block by block: a piece
/// never runs across the end of a block of kBlockFrames frames, so the caller may stop at any
/// block's end. The first block is read on the caller's thread, which is all a file that stops
/// there needs; from the second block on a thread of its own reads the next piece while the
/// caller works on the current one, so reading and decoding overlap. Two pieces at most are held.
class ReadAheadPieces {
public:
    struct Piece {
        const unsigned char* frames = nullptr;  // valid until the next call of next()
        std::size_t count = 0;                  // whole frames; fewer than asked when the data ended
        bool endsBlock = false;
        bool last = false;  // the data ended or `totalFrames` were read; next() must not follow
    };

    /// Reads from the stream's current position. `slackBytes` of room follow every piece.
    ReadAheadPieces(std::istream& in, std::size_t frameBytes, std::uint64_t totalFrames, std::size_t slackBytes);
    /// Stops the reading thread; the stream is the caller's again afterwards.
    ~ReadAheadPieces();
    ReadAheadPieces(const ReadAheadPieces&) = delete;
    ReadAheadPieces& operator=(const ReadAheadPieces&) = delete;

    Piece next();

private:
    struct Slot {
        std::unique_ptr<FramePieceReader> reader;
        Piece piece;
        bool full = false;
    };

    Piece readInto(FramePieceReader& reader);
    void readAhead();
    void startReadingAhead();
    Piece nextReadAhead();

    std::istream& in_;
    std::size_t frameBytes_;
    std::size_t slackBytes_;
    std::uint64_t totalFrames_;
    std::uint64_t framesAsked_ = 0;  // touched only by whichever thread reads
    std::array<Slot, 2> slots_;
    std::size_t nextSlot_ = 0;
    std::optional<std::size_t> heldSlot_;  // the slot of the piece the caller works on

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::exception_ptr readFailure_;
    std::thread thread_;
};

}  // namespace tracksieve
