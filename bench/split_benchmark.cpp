// Splitting a long 8-channel 24-bit recording whose last two channels are digital silence into
// six mono files, set against `cp` of the source and against the same job done by sox and
// ffmpeg (where installed), one command per track, each command's output checked first to hold
// the same samples as Tracksieve's. Every work runs once per round, interleaved with the others,
// after a sync so that no earlier write is flushed at its cost; each figure is the median over
// the rounds, page cache warm.
//
//   split_benchmark [--dir FOLDER] [--minutes N] [--rounds N]

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "source_chunk_walk.h"
#include "tracksieve/mono_split.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace tracksieve::bench;

constexpr int kKeptChannels = kChannels - 2;

std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

// The bytes of the sample data of a WAV file, whatever its other chunks.
std::string samplesOf(const fs::path& path) {
    const tracksieve::SourceLayout layout = tracksieve::walkSourceChunks(path);
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(layout.dataOffset));
    std::string samples(layout.dataBytesPresent, '\0');
    in.read(samples.data(), static_cast<std::streamsize>(samples.size()));
    return samples;
}

struct Work {
    std::string label;
    std::function<void()> run;
    std::vector<double> seconds{};

    double median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

const char* verdict(bool met) { return met ? "met" : "NOT met"; }

}  // namespace

int main(int argc, char** argv) try {
    fs::path parent;
    std::uint64_t minutes = 10;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--dir") parent = argv[i + 1];
        else if (name == "--minutes") minutes = std::max<std::uint64_t>(1, std::stoull(argv[i + 1]));
        else if (name == "--rounds") rounds = std::max(1, std::stoi(argv[i + 1]));
        else throw std::runtime_error("unknown option " + name);
    }
    if (argc % 2 == 0) throw std::runtime_error(std::string("missing value after ") + argv[argc - 1]);

    const tracksieve::testing::TempDir dir(parent);
    const fs::path source = dir.path() / "poly8.wav";
    const fs::path out = dir.path() / "out";
    const fs::path reference = dir.path() / "reference";
    fs::create_directories(out);
    fs::create_directories(reference);
    writeRecording(source, 48000ull * 60 * minutes, 2);
    std::printf("source: %.0f MB, %d channels of 24 bits, the last 2 digital silence; %d rounds\n",
                static_cast<double>(fs::file_size(source)) / 1e6, kChannels, rounds);
    runShell("cat " + quoted(source) + " >/dev/null");  // warms the page cache

    const tracksieve::SplitOutcome outcome = tracksieve::splitPolyWav(source, {.outputDir = reference});
    if (outcome.written.size() != kKeptChannels) throw std::runtime_error("the split did not write six files");
    const auto trackFile = [&](int track) { return out / ("poly8_" + std::to_string(track) + ".wav"); };
    const auto clearOutput = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
    };

    std::vector<Work> works;
    works.push_back({"cp", [&] { runShell("cp " + quoted(source) + " " + quoted(trackFile(0))); }});
    works.push_back(
        {"cp, then sync of the copy",
         [&] { runShell("cp " + quoted(source) + " " + quoted(trackFile(0)) + " && sync " + quoted(trackFile(0))); }});
    works.push_back({"splitPolyWav (6 files)", [&] { tracksieve::splitPolyWav(source, {.outputDir = out}); }});
#ifdef TRACKSIEVE_CLI_PATH
    works.push_back(
        {"tracksieve-cli split", [&] {
             const ChildRun run = runChild({TRACKSIEVE_CLI_PATH, "split", "-o", out.string(), source.string()});
             if (run.exitStatus != 0) throw std::runtime_error("tracksieve-cli split failed");
         }});
#endif
    const std::size_t firstPeer = works.size();

    // One command per track, as a user would script it; each checked once before timing.
    const auto perTrack = [&](const std::function<std::string(int)>& command) {
        return [&, command] {
            for (int track = 1; track <= kKeptChannels; ++track) runShell(command(track));
        };
    };
    const std::pair<const char*, Work> peers[] = {
        {"sox", {"sox remix N, per track", perTrack([&](int track) {
                     return "sox " + quoted(source) + " " + quoted(trackFile(track)) + " remix " +
                            std::to_string(track);
                 })}},
        {"ffmpeg", {"ffmpeg pan=mono, per track", perTrack([&](int track) {
                        return "ffmpeg -v error -y -i " + quoted(source) + " -af 'pan=mono|c0=c" +
                               std::to_string(track - 1) + "' -c:a pcm_s24le " + quoted(trackFile(track));
                    })}},
    };
    for (const auto& [tool, work] : peers) {
        if (!installed(tool)) {
            std::printf("%s: not installed, left out\n", work.label.c_str());
            continue;
        }
        clearOutput();
        work.run();
        bool same = true;
        for (int track = 1; track <= kKeptChannels; ++track) {
            same =
                same && samplesOf(trackFile(track)) == samplesOf(outcome.written[static_cast<std::size_t>(track - 1)]);
        }
        std::printf("%s: samples %s Tracksieve's\n", work.label.c_str(), same ? "bit for bit" : "DIFFERENT from");
        if (!same) throw std::runtime_error(work.label + " does not do the same job");
        works.push_back(work);
    }

    for (int round = 0; round < rounds; ++round) {
        for (Work& work : works) {
            clearOutput();
            runShell("sync");
            work.seconds.push_back(secondsOf(work.run));
        }
    }

    const double cp = works[0].median();
    std::printf("\n%-38s %8s %8s\n", "median seconds", "s", "x cp");
    for (const Work& work : works)
        std::printf("%-38s %8.3f %8.2f\n", work.label.c_str(), work.median(), work.median() / cp);

    const double split = works[2].median();
    std::printf("\ntargets\n");
    std::printf("  splitPolyWav <= 1.5x cp:                     %.2f  %s\n", split / cp, verdict(split / cp <= 1.5));
    std::printf("    (against cp, then sync of the copy:        %.2f)\n", split / works[1].median());
    for (std::size_t i = firstPeer; i < works.size(); ++i) {
        const double times = works[i].median() / works[firstPeer - 1].median();
        std::printf("  %s >= 5x faster than %-24s %.1fx  %s\n", works[firstPeer - 1].label.c_str(),
                    (works[i].label + ":").c_str(), times, verdict(times >= 5));
    }
    return 0;
} catch (const std::exception& error) {
    std::fprintf(stderr, "split_benchmark: %s\n", error.what());
    return 1;
}
