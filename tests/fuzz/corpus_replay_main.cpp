#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "wav_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Feeds every file named, or found in a folder named, to a fuzz target, so that any build
// replays the stored corpus as an ordinary test, with or without libFuzzer.
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        if (!fs::is_directory(argument)) {
            inputs.push_back(argument);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(argument)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        // Named first, so that a crash or a broken invariant shows which input it was.
        std::cerr << "Replaying " << input.string() << std::endl;
        const std::string bytes = tracksieve::testing::readFile(input);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::cout << "Replayed " << inputs.size() << " inputs\n";
    return inputs.empty() ? 1 : 0;
}
