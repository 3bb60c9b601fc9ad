#include "read_ahead_pieces.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tracksieve/fixed_values.h"

namespace tracksieve {
namespace {

constexpr std::size_t kBlock = kBlockFrames;

// Bytes that differ from frame to frame, so a piece out of place or repeated shows.
std::string numberedBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
    return bytes;
}

struct Case {
    std::string label;
    std::size_t frameBytes;
    std::uint64_t totalFrames;
    std::size_t bytesInStream;
};

TEST(ReadAheadPieces, DeliversEveryWholeFrameInOrderNeverAcrossABlockEnd) {
    const std::vector<Case> cases = {
        {"blocks of one piece, the last block partial", 24, 2 * kBlock + kBlock / 2, 24 * (2 * kBlock + kBlock / 2)},
        {"pieces smaller than a block", 120, 2 * kBlock + 5, 120 * (2 * kBlock + 5)},
        {"the data end in the third block, inside a frame", 24, 5 * kBlock, 24 * (2 * kBlock + 17) + 5},
        {"the data end at a block's end", 24, 4 * kBlock, 24 * 2 * kBlock},
        {"the data end inside the first block", 6, 3 * kBlock, 6 * 100 + 1},
        {"more data than asked for", 4, kBlock + 3, 4 * (3 * kBlock)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string bytes = numberedBytes(c.bytesInStream);
        std::istringstream in(bytes);
        ReadAheadPieces pieces(in, c.frameBytes, c.totalFrames, 8);

        const std::uint64_t framesThere = std::min<std::uint64_t>(c.totalFrames, c.bytesInStream / c.frameBytes);
        std::string seen;
        std::uint64_t frames = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            const ReadAheadPieces::Piece piece = pieces.next();
            const std::uint64_t blockEnd = (frames / kBlock + 1) * kBlock;
            EXPECT_LE(frames + piece.count, blockEnd) << "a piece runs across a block's end";
            seen.append(reinterpret_cast<const char*>(piece.frames), piece.count * c.frameBytes);
            frames += piece.count;
            if (piece.last) break;
            EXPECT_EQ(piece.endsBlock, frames % kBlock == 0);
        }
        EXPECT_EQ(frames, framesThere);
        EXPECT_TRUE(seen == bytes.substr(0, framesThere * c.frameBytes)) << "the bytes differ from the stream's";
    }
}

TEST(ReadAheadPieces, StopsWhereverTheCallerStops) {
    const std::string bytes = numberedBytes(24 * 10 * kBlock);
    for (int piecesTaken = 0; piecesTaken <= 4; ++piecesTaken) {
        std::istringstream in(bytes);
        {
            ReadAheadPieces pieces(in, 24, 10 * kBlock, 8);
            for (int i = 0; i < piecesTaken; ++i) EXPECT_EQ(pieces.next().count, kBlock);
        }
        // The reading thread is gone: the stream is the caller's again, and not past the data.
        EXPECT_LE(static_cast<std::size_t>(in.tellg()), bytes.size());
    }
}

}  // namespace
}  // namespace tracksieve
