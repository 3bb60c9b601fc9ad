#include "read_ahead_pieces.h"

#include <algorithm>
#include <system_error>

#include "tracksieve/fixed_values.h"

namespace tracksieve {

ReadAheadPieces::ReadAheadPieces(std::istream& in, std::size_t frameBytes, std::uint64_t totalFrames,
                                 std::size_t slackBytes)
    : in_(in), frameBytes_(frameBytes), slackBytes_(slackBytes), totalFrames_(totalFrames) {
    slots_[0].reader = std::make_unique<FramePieceReader>(in_, frameBytes_, totalFrames_, slackBytes_);
}

ReadAheadPieces::~ReadAheadPieces() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

ReadAheadPieces::Piece ReadAheadPieces::next() {
    if (thread_.joinable()) return nextReadAhead();
    if (framesAsked_ >= kBlockFrames && !slots_[1].reader) {
        startReadingAhead();
        if (thread_.joinable()) return nextReadAhead();
    }
    return readInto(*slots_[0].reader);
}

ReadAheadPieces::Piece ReadAheadPieces::readInto(FramePieceReader& reader) {
    const std::uint64_t blockEnd = std::min(totalFrames_, (framesAsked_ / kBlockFrames + 1) * kBlockFrames);
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(blockEnd - framesAsked_, reader.pieceFrames()));
    const std::size_t count = reader.read(wanted);
    framesAsked_ += wanted;
    return {reader.data(), count, framesAsked_ == blockEnd, count < wanted || framesAsked_ == totalFrames_};
}

void ReadAheadPieces::startReadingAhead() {
    slots_[1].reader = std::make_unique<FramePieceReader>(in_, frameBytes_, totalFrames_, slackBytes_);
    try {
        thread_ = std::thread([this] { readAhead(); });
    } catch (const std::system_error&) {
        // No thread to spare: the caller goes on reading every piece itself.
    }
}

void ReadAheadPieces::readAhead() {
    try {
        for (std::size_t slot = 0;; slot ^= 1) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !slots_[slot].full; });
                if (stopping_) return;
            }
            const Piece piece = readInto(*slots_[slot].reader);
            {
                const std::lock_guard lock(mutex_);
                slots_[slot].piece = piece;
                slots_[slot].full = true;
            }
            changed_.notify_all();
            if (piece.last) return;
        }
    } catch (...) {
        {
            const std::lock_guard lock(mutex_);
            readFailure_ = std::current_exception();
        }
        changed_.notify_all();
    }
}

ReadAheadPieces::Piece ReadAheadPieces::nextReadAhead() {
    std::unique_lock lock(mutex_);
    if (heldSlot_) {
        slots_[*heldSlot_].full = false;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return slots_[nextSlot_].full || readFailure_; });
    if (!slots_[nextSlot_].full) std::rethrow_exception(readFailure_);
    heldSlot_ = nextSlot_;
    nextSlot_ ^= 1;
    return slots_[*heldSlot_].piece;
}

}  // namespace tracksieve
