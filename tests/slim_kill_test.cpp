// A slim killed at any moment must leave the source as it was and nothing a user could take
// for a finished file: at most a hidden temporary, which the next slim replaces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tracksieve/scan.h"
#include "tracksieve/slim_writer.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

// Half a minute of 8 channels at 48 kHz, half of them silent: about 23 MB, so that the
// writer's analysis and copy take long enough to be struck part way.
std::string largeRecording() {
    std::string frame = testing::pcmFrames(16, {{3000, 0, -3000, 0, 1200, 0, -1200, 0}});
    std::string samples;
    samples.reserve(frame.size() * 48000 * 30);
    for (int i = 0; i < 48000 * 30; ++i) samples += frame;
    return testing::WavBuilder().fmt({.channels = 8}).data(samples).bytes();
}

pid_t startCli(const std::vector<std::string>& args) {
    const pid_t child = fork();
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(TRACKSIEVE_CLI_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Compares piece by piece: the files are large and compared often.
bool holdsExactly(const fs::path& path, std::string_view bytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> piece(1 << 20);
    std::size_t at = 0;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount());
        if (bytes.substr(at, got) != std::string_view(piece.data(), got)) return false;
        at += got;
    }
    return in.eof() && at == bytes.size();
}

std::uintmax_t sizeOr0(const fs::path& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// Hidden temporary files of any run, in `dir`.
std::vector<fs::path> temporaryFilesIn(const fs::path& dir) {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.' && name.find("_compressing") != std::string::npos) paths.push_back(entry.path());
    }
    return paths;
}

// The size of the one temporary file in `dir`, or 0 while there is none.
std::uintmax_t temporarySizeIn(const fs::path& dir) {
    const std::vector<fs::path> temporaries = temporaryFilesIn(dir);
    return temporaries.size() == 1 ? sizeOr0(temporaries[0]) : 0;
}

// Names a user sees in the folder: hidden files left out.
std::vector<std::string> visibleNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.front() != '.') names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct KillPoint {
    std::string label;
    std::function<bool(std::uintmax_t temporarySize, std::uintmax_t finalSize)> reached;
};

TEST(SlimKill, AKilledSlimLeavesTheSourceWholeAndNothingThatLooksFinished) {
    const std::string source = largeRecording();
    const testing::TempDir reference;
    const std::string slim = testing::readFile(compressPolyWav(reference.write("A.wav", source), false, 0.001));

    const std::vector<KillPoint> points = {
        {"at once", [](std::uintmax_t, std::uintmax_t) { return true; }},
        {"during the analysis", [](std::uintmax_t, std::uintmax_t) {
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             return true;
         }},
        {"as the temporary file appears", [](std::uintmax_t size, std::uintmax_t) { return size > 0; }},
        {"a third through the copy", [](std::uintmax_t size, std::uintmax_t full) { return size > full / 3; }},
        {"two thirds through the copy", [](std::uintmax_t size, std::uintmax_t full) { return size > full / 3 * 2; }},
        {"with the copy complete, before the rename", [](std::uintmax_t size, std::uintmax_t full) { return size == full; }},
    };
    int struckPartWay = 0;
    for (const bool overwrite : {false, true}) {
        for (const KillPoint& point : points) {
            SCOPED_TRACE(point.label + (overwrite ? ", overwrite" : ", _SLIM"));
            const testing::TempDir dir;
            const fs::path path = dir.write("A.wav", source);
            const fs::path result = dir.path() / (overwrite ? "A.wav" : "A_SLIM.wav");

            std::vector<std::string> args{"slim", path.string()};
            if (overwrite) args.insert(args.begin() + 1, "--overwrite");
            const pid_t child = startCli(args);
            ASSERT_GT(child, 0);
            int status = 0;
            bool exited = false;
            while (!point.reached(temporarySizeIn(dir.path()), slim.size())) {
                if (waitpid(child, &status, WNOHANG) == child) {
                    exited = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            if (!exited) {
                if (temporarySizeIn(dir.path()) > 0) ++struckPartWay;
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            }

            // Either the slim finished, or everything a user sees is as it was.
            const bool finished = holdsExactly(result, slim);
            if (overwrite) {
                EXPECT_TRUE(finished || holdsExactly(path, source)) << "the source must never be damaged";
            } else {
                EXPECT_TRUE(holdsExactly(path, source)) << "the source must never be damaged";
            }
            const std::vector<std::string> expectedNames =
                finished && !overwrite ? std::vector<std::string>{"A.wav", "A_SLIM.wav"} : std::vector<std::string>{"A.wav"};
            EXPECT_EQ(visibleNames(dir.path()), expectedNames);
            std::vector<fs::path> expectedScan;
            for (const std::string& name : expectedNames) expectedScan.push_back(dir.path() / name);
            EXPECT_EQ(discoverPolyPaths(dir.path(), false, 2), expectedScan);

            // The next slim of the same source replaces whatever the killed one left behind.
            if (!finished) {
                EXPECT_EQ(compressPolyWav(path, overwrite, 0.001), result);
                EXPECT_TRUE(holdsExactly(result, slim));
                EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());
            }
        }
    }
    EXPECT_GT(struckPartWay, 0) << "no kill landed while a temporary file was being written";
}

}  // namespace
}  // namespace tracksieve
