#include "frame_pieces.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace tracksieve {
namespace {

// A piece is bounded by the bytes it may hold, by a block and by what the caller will read.
TEST(FramePieceReader, APieceHoldsNoMoreThanTheCallerWillRead) {
    const std::tuple<std::size_t, std::uint64_t, std::size_t> cases[] = {
        // frame bytes, frames wanted, frames per piece
        {4, 10, 10}, {4, 0, 1}, {4, 1'000'000, 48000}, {65535, 1'000'000, kMaxPieceBytes / 65535}, {65535, 3, 3},
    };
    std::istringstream empty;
    for (const auto& [frameBytes, wanted, piece] : cases) {
        EXPECT_EQ(FramePieceReader(empty, frameBytes, wanted).pieceFrames(), piece) << frameBytes << " " << wanted;
    }
}

TEST(FramePieceReader, ReadsWholeFramesOnly) {
    std::istringstream bytes("abcdefghij");
    FramePieceReader reader(bytes, 4, 3);
    EXPECT_EQ(reader.read(3), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.data()), 8), "abcdefgh");
}

}  // namespace
}  // namespace tracksieve
