// Slimming a long 8-channel 24-bit recording whose last two channels are digital silence, set
// against `cp` and `cat` of the same file and against the same job done by sox and ffmpeg
// (six channels kept as they are, each output checked before it is timed). Also the peak memory
// of `tracksieve-cli slim`, and the desktop flow's work on one folder (scan, then remove the
// empty tracks from every eligible file) against copying the files it slims. Every work runs
// once per round, interleaved with the others, after a sync so that no earlier write is flushed
// at its cost; each figure is the median over the rounds, page cache warm. Last, an RF64 take
// past 4 GiB (sparse: noise at its start, a hole after it, one channel silent) slimmed to an
// RF64 copy against `cp` of it that writes every byte, and the peak memory of that slim.
//
//   compress_benchmark [--dir FOLDER] [--minutes N] [--rounds N] [--rf64-gib N (0: left out)]

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "riff_reading.h"
#include "source_chunk_walk.h"
#include "tracksieve/analysis.h"
#include "tracksieve/scan.h"
#include "tracksieve/slim_writer.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace tracksieve::bench;

constexpr int kKeptChannels = kChannels - 2;
constexpr double kMiB = 1024.0 * 1024.0;

std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

std::string capturedOutput(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("could not start " + command);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
    return text;
}

// The job a user would script without Tracksieve: find the silent channels with `sox stats`,
// then keep the others with `sox remix`.
void scriptedSoxJob(const fs::path& source, const fs::path& output) {
    std::istringstream report(capturedOutput("sox " + quoted(source) + " -n stats 2>&1"));
    std::string remix;
    for (std::string line; std::getline(report, line);) {
        if (!line.starts_with("Pk lev dB")) continue;
        std::istringstream levels(line.substr(9));
        std::string level;
        levels >> level;  // the overall level comes before the channels'
        for (int channel = 1; levels >> level; ++channel)
            if (level != "-inf" && std::stod(level) >= -60.0) (remix += ' ') += std::to_string(channel);
    }
    if (remix.empty()) throw std::runtime_error("sox stats gave no channel levels");
    runShell("sox " + quoted(source) + " " + quoted(output) + " remix" + remix);
}

int channelsOf(const fs::path& path) {
    const tracksieve::PolyWavInfo info = tracksieve::analyzePolyWav(path, 0.0);
    return info.error.empty() ? info.channels : 0;
}

// Whether the sample data of two WAV files are the same bytes, whatever their other chunks.
bool sameSamples(const fs::path& a, const fs::path& b) {
    const tracksieve::SourceLayout layoutA = tracksieve::walkSourceChunks(a);
    const tracksieve::SourceLayout layoutB = tracksieve::walkSourceChunks(b);
    if (layoutA.dataBytesPresent != layoutB.dataBytesPresent) return false;
    std::ifstream inA(a, std::ios::binary);
    std::ifstream inB(b, std::ios::binary);
    inA.seekg(static_cast<std::streamoff>(layoutA.dataOffset));
    inB.seekg(static_cast<std::streamoff>(layoutB.dataOffset));
    std::vector<char> bufferA(1 << 20);
    std::vector<char> bufferB(1 << 20);
    for (std::uint64_t left = layoutA.dataBytesPresent; left > 0;) {
        const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, bufferA.size()));
        if (!inA.read(bufferA.data(), n) || !inB.read(bufferB.data(), n)) return false;
        if (!std::equal(bufferA.begin(), bufferA.begin() + n, bufferB.begin())) return false;
        left -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool eligible(const tracksieve::PolyWavInfo& info) {
    return info.error.empty() && info.emptyCount() > 0 && info.activeCount() > 0;
}

void removeSlimCopies(const fs::path& folder) {
    std::vector<fs::path> copies;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().stem().string().ends_with("_SLIM")) copies.push_back(entry.path());
    for (const fs::path& copy : copies) fs::remove(copy);
}

struct Work {
    std::string label;
    std::function<void()> run;
    std::function<void()> prepare = [] {};
    std::vector<double> seconds{};

    double median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

void timeInterleaved(int rounds, std::vector<Work>& works) {
    for (int round = 0; round < rounds; ++round) {
        for (Work& work : works) {
            work.prepare();
            runShell("sync");
            work.seconds.push_back(secondsOf(work.run));
        }
    }
}

const char* verdict(bool met) { return met ? "met" : "NOT met"; }

// The RF64 case: a sparse take of `gib` GiB whose last channel is silent, so that the seven
// kept channels still pass 4 GiB and the copy is written as RF64.
void benchmarkRf64(const fs::path& folder, std::uint64_t gib, int rounds) {
    const fs::path source = folder / "rf64.wav";
    const fs::path output = folder / "rf64_out.wav";
    const fs::path copy = folder / "rf64_cp.wav";
    writeSparseRf64Recording(source, (gib << 30) / kBytesPerFrame, 1);
    std::printf("\nRF64 source: %.2f GiB (sparse), %d channels of 24 bits, the last digital silence\n",
                static_cast<double>(fs::file_size(source)) / (1 << 30), kChannels);

    tracksieve::compressPolyWav(source, false, tracksieve::kThreshold, output);
    std::ifstream written(output, std::ios::binary);
    char form[4] = {};
    written.read(form, sizeof form);
    const tracksieve::SourceLayout layout = tracksieve::walkSourceChunks(output);
    const std::uint64_t frames = layout.dataBytesPresent / layout.fmt.blockAlign;
    if (std::string(form, 4) != "RF64" || layout.fmt.channels != kChannels - 1 ||
        frames != (gib << 30) / kBytesPerFrame ||
        layout.dataOffset + layout.dataBytesPresent + layout.dataBytesPresent % 2 != fs::file_size(output)) {
        throw std::runtime_error("the RF64 copy is not what it should be");
    }
    std::printf("copy: %.2f GiB, %.4s, %d channels, every frame\n",
                static_cast<double>(fs::file_size(output)) / (1 << 30), form, layout.fmt.channels);

    std::vector<Work> works;
    works.push_back({"cp --sparse=never", [&] { runShell("cp --sparse=never " + quoted(source) + " " + quoted(copy)); },
                     [&] { fs::remove(copy); }});
    works.push_back(
        {"cp --sparse=never, then sync of the copy",
         [&] { runShell("cp --sparse=never " + quoted(source) + " " + quoted(copy) + " && sync " + quoted(copy)); },
         [&] { fs::remove(copy); }});
    works.push_back({"compressPolyWav",
                     [&] { tracksieve::compressPolyWav(source, false, tracksieve::kThreshold, output); },
                     [&] { fs::remove(output); }});
    long peakKiB = 0;
#ifdef TRACKSIEVE_CLI_PATH
    works.push_back(
        {"tracksieve-cli slim",
         [&] {
             const ChildRun run = runChild({TRACKSIEVE_CLI_PATH, "slim", "-o", output.string(), source.string()});
             if (run.exitStatus != 0) throw std::runtime_error("tracksieve-cli slim failed");
             peakKiB = std::max(peakKiB, run.peakRssKiB);
         },
         [&] { fs::remove(output); }});
#endif
    timeInterleaved(rounds, works);
    fs::remove(copy);
    fs::remove(output);

    const double cp = works[0].median();
    std::printf("%-38s %8s %8s\n", "RF64 past 4 GiB, median seconds", "s", "x cp");
    for (const Work& work : works)
        std::printf("%-38s %8.3f %8.2f\n", work.label.c_str(), work.median(), work.median() / cp);
    const double slim = works[2].median();
    std::printf("  RF64 compressPolyWav <= 1.3x cp:             %.2f  %s\n", slim / cp, verdict(slim / cp <= 1.3));
    std::printf("    (against cp, then sync of the copy:        %.2f)\n", slim / works[1].median());
    if (peakKiB > 0) {
        std::printf("  RF64 peak memory of tracksieve-cli slim < 32 MiB: %.1f MiB  %s\n",
                    static_cast<double>(peakKiB) / 1024, verdict(static_cast<double>(peakKiB) * 1024 < 32 * kMiB));
    }
}

}  // namespace

int main(int argc, char** argv) try {
    fs::path parent;
    std::uint64_t minutes = 10;
    int rounds = 5;
    std::uint64_t rf64Gib = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--dir") parent = argv[i + 1];
        else if (name == "--minutes") minutes = std::max<std::uint64_t>(1, std::stoull(argv[i + 1]));
        else if (name == "--rounds") rounds = std::max(1, std::stoi(argv[i + 1]));
        else if (name == "--rf64-gib") rf64Gib = std::stoull(argv[i + 1]);
        else throw std::runtime_error("unknown option " + name);
    }
    if (argc % 2 == 0) throw std::runtime_error(std::string("missing value after ") + argv[argc - 1]);

    const tracksieve::testing::TempDir dir(parent);
    const fs::path source = dir.path() / "poly8.wav";
    const fs::path shortSource = dir.path() / "short8.wav";
    const fs::path reference = dir.path() / "reference.wav";
    const fs::path output = dir.path() / "out.wav";
    writeRecording(source, 48000ull * 60 * minutes, 2);
    writeRecording(shortSource, 48000ull * 10, 2);
    const std::string in = quoted(source);
    const std::string out = quoted(output);
    std::printf("source: %.0f MB, %d channels of 24 bits, the last 2 digital silence; %d rounds\n",
                static_cast<double>(fs::file_size(source)) / 1e6, kChannels, rounds);
    runShell("cat " + in + " >/dev/null");  // warms the page cache
    tracksieve::compressPolyWav(source, false, tracksieve::kThreshold, reference);

    std::vector<Work> works;  // the first ones in this order:
    enum { kCat, kCp, kCpSynced, kAnalysis, kSlim, kCliSlim };
    const auto clearOutput = [&] { fs::remove(output); };
    works.push_back({"cat (read)", [&] { runShell("cat " + in + " >/dev/null"); }});
    works.push_back({"cp", [&] { runShell("cp " + in + " " + out); }, clearOutput});
    // A slim forces its output onto the disk before naming it; a plain cp does not.
    works.push_back(
        {"cp, then sync of the copy", [&] { runShell("cp " + in + " " + out + " && sync " + out); }, clearOutput});
    works.push_back(
        {"analyzePolyWav (reads to the end)", [&] { tracksieve::analyzePolyWav(source, tracksieve::kThreshold); }});
    works.push_back({"compressPolyWav",
                     [&] { tracksieve::compressPolyWav(source, false, tracksieve::kThreshold, output); }, clearOutput});
    long cliPeakKiB = 0;
#ifdef TRACKSIEVE_CLI_PATH
    const std::string cli = TRACKSIEVE_CLI_PATH;
    const auto runCli = [&](const fs::path& file) {
        const ChildRun run = runChild({cli, "slim", "-o", output.string(), file.string()});
        if (run.exitStatus != 0) throw std::runtime_error("tracksieve-cli slim failed");
        cliPeakKiB = std::max(cliPeakKiB, run.peakRssKiB);
        return run.peakRssKiB;
    };
    const long shortPeakKiB = runCli(shortSource);
    const long longPeakKiB = runCli(source);
    std::printf("peak memory of tracksieve-cli slim: %.1f MiB for the %.0f MB file, %.1f MiB for the %.0f MB one\n",
                static_cast<double>(shortPeakKiB) / 1024, static_cast<double>(fs::file_size(shortSource)) / 1e6,
                static_cast<double>(longPeakKiB) / 1024, static_cast<double>(fs::file_size(source)) / 1e6);
    works.push_back({"tracksieve-cli slim", [&] { runCli(source); }, clearOutput});
#endif
    const std::size_t firstPeer = works.size();

    // Each peer must do the same job: six channels, as they are. Checked once before timing.
    const std::pair<const char*, Work> peers[] = {
        {"sox",
         {"sox remix 1 2 3 4 5 6", [&] { runShell("sox " + in + " " + out + " remix 1 2 3 4 5 6"); }, clearOutput}},
        {"ffmpeg",
         {"ffmpeg pan=6c (c0..c5)",
          [&] {
              runShell("ffmpeg -v error -y -i " + in +
                       " -af 'pan=6c|c0=c0|c1=c1|c2=c2|c3=c3|c4=c4|c5=c5' -c:a pcm_s24le " + out);
          },
          clearOutput}},
        {"sox", {"sox stats, then sox remix (scripted)", [&] { scriptedSoxJob(source, output); }, clearOutput}},
    };
    for (const auto& [tool, work] : peers) {
        if (!installed(tool)) {
            std::printf("%s: not installed, left out\n", work.label.c_str());
            continue;
        }
        fs::remove(output);
        work.run();
        if (channelsOf(output) != kKeptChannels) throw std::runtime_error(work.label + " did not keep six channels");
        std::printf("%s: %d channels, samples %s Tracksieve's\n", work.label.c_str(), kKeptChannels,
                    sameSamples(output, reference) ? "bit for bit" : "DIFFERENT from");
        works.push_back(work);
    }

    // One folder as the desktop flow meets it: three takes with silent channels, one without.
    const fs::path folder = dir.path() / "card";
    const fs::path copies = dir.path() / "copies";
    fs::create_directories(folder);
    fs::create_directories(copies);
    const std::uint64_t takeFrames = 48000ull * 60 * std::max<std::uint64_t>(1, minutes / 5);
    for (int take = 1; take <= 3; ++take)
        writeRecording(folder / ("T00" + std::to_string(take) + ".WAV"), takeFrames, 2);
    writeRecording(folder / "T004.WAV", takeFrames, 0);
    const std::vector<tracksieve::PolyWavInfo> records =
        tracksieve::scanDirectory(folder, false, tracksieve::kThreshold, tracksieve::kMinChannels, {});
    std::vector<fs::path> slimmed;
    for (const auto& record : records)
        if (eligible(record)) slimmed.push_back(record.path);
    const auto scanFolder = [&] {
        return tracksieve::scanDirectory(folder, false, tracksieve::kThreshold, tracksieve::kMinChannels, {});
    };
    const auto removeFromAll = [&](const std::vector<tracksieve::PolyWavInfo>& scanned) {
        for (const auto& record : scanned)
            if (eligible(record)) tracksieve::compressPolyWav(record.path, false, tracksieve::kThreshold);
    };
    const auto clearFolder = [&] { removeSlimCopies(folder); };
    const std::size_t firstDesktop = works.size();
    works.push_back({"cp of the files it slims",
                     [&] {
                         for (const fs::path& file : slimmed) fs::copy_file(file, copies / file.filename());
                     },
                     [&] {
                         fs::remove_all(copies);
                         fs::create_directories(copies);
                     }});
    works.push_back({"scan, then remove from all", [&] { removeFromAll(scanFolder()); }, clearFolder});
    works.push_back({"  the scan alone", [&] { scanFolder(); }});
    works.push_back({"  the removal alone", [&] { removeFromAll(records); }, clearFolder});

    timeInterleaved(rounds, works);

    const double cat = works[kCat].median();
    const double cp = works[kCp].median();
    std::printf("\n%-38s %8s %8s %8s\n", "one file, median seconds", "s", "x cat", "x cp");
    for (std::size_t i = 0; i < firstDesktop; ++i) {
        const double s = works[i].median();
        std::printf("%-38s %8.3f %8.2f %8.2f\n", works[i].label.c_str(), s, s / cat, s / cp);
    }
    const double desktopCp = works[firstDesktop].median();
    std::printf("\none folder: %zu takes of %.0f MB, %zu of them slimmed  %8s %8s\n", records.size(),
                static_cast<double>(takeFrames * kBytesPerFrame) / 1e6, slimmed.size(), "s", "x cp");
    for (std::size_t i = firstDesktop; i < works.size(); ++i) {
        const double s = works[i].median();
        std::printf("%-38s %8.3f %8.2f\n", works[i].label.c_str(), s, s / desktopCp);
    }

    const double cpSynced = works[kCpSynced].median();
    const double analysis = works[kAnalysis].median();
    const double slim = works[kSlim].median();
    std::printf("\ntargets\n");
    std::printf("  compressPolyWav <= 1.3x cp:                  %.2f  %s\n", slim / cp, verdict(slim / cp <= 1.3));
    std::printf("    (against cp, then sync of the copy:        %.2f)\n", slim / cpSynced);
    std::printf("  worst-case analysis <= 1.3x cat:             %.2f  %s\n", analysis / cat,
                verdict(analysis / cat <= 1.3));
    if (firstPeer > kCliSlim) {
        const double cliSlim = works[kCliSlim].median();
        std::printf("  tracksieve-cli slim <= 1.3x cp:              %.2f  %s\n", cliSlim / cp,
                    verdict(cliSlim / cp <= 1.3));
        std::printf("    (against cp, then sync of the copy:        %.2f)\n", cliSlim / cpSynced);
        for (std::size_t i = firstPeer; i < firstDesktop; ++i) {
            const double times = works[i].median() / cliSlim;
            std::printf("  slim >= 10x faster than %-20s %.1fx  %s\n", (works[i].label + ":").c_str(), times,
                        verdict(times >= 10));
        }
        std::printf("  peak memory of tracksieve-cli slim < 32 MiB: %.1f MiB  %s\n",
                    static_cast<double>(cliPeakKiB) / 1024,
                    verdict(static_cast<double>(cliPeakKiB) * 1024 < 32 * kMiB));
    }
    // Each round writes gigabytes twice over: a few are enough.
    if (rf64Gib > 0) benchmarkRf64(dir.path(), rf64Gib, std::min(rounds, 3));
    return 0;
} catch (const std::exception& error) {
    std::fprintf(stderr, "compress_benchmark: %s\n", error.what());
    return 1;
}
