#include <cstddef>
#include <cstdint>
#include <sstream>

#include "fuzz_checks.h"
#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"

// Opens and analyses arbitrary bytes as a WAV file, from memory.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tracksieve;
    std::istringstream file(fuzz::bytesOf(data, size));
    const PolyWavInfo record = analyzePolyWav(file, "take.wav", kThreshold);
    fuzz::checkRecord(record, kThreshold);
    return 0;
}
