#pragma once

#include <string>

namespace tracksieve {

/// One non-audio chunk of a WAV file, held whole in memory.
struct MetaChunk {
    std::string id;    // exactly four bytes, compared case-sensitively
    std::string body;  // raw bytes; its length is the chunk size written back
};

}  // namespace tracksieve
