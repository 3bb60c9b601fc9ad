#include <cstdio>
#include <filesystem>

#include <tracksieve/tracksieve.h>

// Prints the core's version and how many polyphonic WAV files DIR and its subfolders hold.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: count-poly-wavs DIR\n");
        return 2;
    }
    const auto records = tracksieve::scanDirectory(argv[1], true, tracksieve::kThreshold, tracksieve::kMinChannels, {});
    std::printf("%.*s %zu\n", static_cast<int>(tracksieve::kVersion.size()), tracksieve::kVersion.data(),
                records.size());
    return 0;
}
