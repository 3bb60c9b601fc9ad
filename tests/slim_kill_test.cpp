// A slim struck from outside (killed, signalled, its source replaced, a second slim of the same
// file) must leave the source as it is and nothing a user could take for a finished file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Starts the program with `args`, its output going to `outputFile` (or nowhere), its files
// limited to `fileSizeLimit` bytes when that is given.
pid_t startCli(const std::vector<std::string>& args, const fs::path& outputFile = "/dev/null",
               rlim_t fileSizeLimit = 0) {
    const pid_t child = fork();
    if (child == 0) {
        const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit > 0) setrlimit(RLIMIT_FSIZE, &limit);
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

// Waits until a temporary file in `dir` holds some bytes; false when `child` ended first.
bool copyUnderWay(pid_t child, const fs::path& dir, int& status) {
    while (temporarySizeIn(dir) == 0) {
        if (waitpid(child, &status, WNOHANG) == child) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

int exitStatusOf(pid_t child) {
    int status = -1;
    waitpid(child, &status, 0);
    return status;
}

std::vector<std::string> slimArgs(bool overwrite, const fs::path& path) {
    return overwrite ? std::vector<std::string>{"slim", "--overwrite", path.string()}
                     : std::vector<std::string>{"slim", path.string()};
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
        {"during the analysis",
         [](std::uintmax_t, std::uintmax_t) {
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             return true;
         }},
        {"as the temporary file appears", [](std::uintmax_t size, std::uintmax_t) { return size > 0; }},
        {"a third through the copy", [](std::uintmax_t size, std::uintmax_t full) { return size > full / 3; }},
        {"two thirds through the copy", [](std::uintmax_t size, std::uintmax_t full) { return size > full / 3 * 2; }},
        {"with the copy complete, before the rename",
         [](std::uintmax_t size, std::uintmax_t full) { return size == full; }},
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
            const std::vector<std::string> expectedNames = finished && !overwrite
                                                               ? std::vector<std::string>{"A.wav", "A_SLIM.wav"}
                                                               : std::vector<std::string>{"A.wav"};
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

TEST(SlimSignals, AnEndingSignalRemovesTheTemporaryFileAndEndsTheRunAsTheSignalWould) {
    const std::string source = largeRecording();
    int struck = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + (overwrite ? ", overwrite" : ", _SLIM"));
            const testing::TempDir dir;
            const fs::path path = dir.write("A.wav", source);
            const pid_t child = startCli(slimArgs(overwrite, path));
            int status = -1;
            if (!copyUnderWay(child, dir.path(), status)) continue;
            kill(child, signal);
            status = exitStatusOf(child);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;  // finished first
            ++struck;
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
            EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());
            EXPECT_EQ(visibleNames(dir.path()), std::vector<std::string>{"A.wav"});
            EXPECT_TRUE(holdsExactly(path, source));
        }
    }
    EXPECT_GT(struck, 0) << "no signal landed while a temporary file was being written";
}

TEST(SlimSignals, AFileGrownPastTheSizeLimitFailsThatFileAlone) {
    const testing::TempDir dir;
    const std::string small = testing::WavBuilder().fmt({}).data(testing::pcmFrames(16, {{0, 700}})).bytes();
    const std::string large = largeRecording();
    const fs::path first = dir.write("A.wav", large);
    const fs::path second = dir.write("B.wav", small);
    const fs::path output = dir.path() / "output.txt";
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "_SLIM");
        std::vector<std::string> args = slimArgs(overwrite, first);
        args.push_back(second.string());
        const int status = exitStatusOf(startCli(args, output, 1 << 20));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
        EXPECT_THAT(testing::readFile(output),
                    ::testing::StartsWith("A.wav: Could not write output file (File too large)\n"));
        EXPECT_TRUE(holdsExactly(first, large));
        EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());
        fs::remove(dir.path() / "B_SLIM.wav");
        dir.write("B.wav", small);
    }
}

TEST(SlimRaces, AFifoNamedLikeATakeIsRefusedWithoutBlocking) {
    const testing::TempDir dir;
    const fs::path pipe = dir.path() / "S.WAV";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const fs::path output = dir.path() / "output.txt";
    const pid_t child = startCli({"slim", "--overwrite", pipe.string()}, output);
    int status = -1;
    for (int waited = 0; waitpid(child, &status, WNOHANG) != child; ++waited) {
        if (waited == 10'000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            FAIL() << "the slim blocked on the FIFO";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_THAT(testing::readFile(output), ::testing::StartsWith("S.WAV: Not a regular file\n"));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(SlimRaces, ASourceReplacedDuringTheSlimSurvivesIntact) {
    const std::string take = largeRecording();
    const std::string newTake(take.size(), 'n');
    int struck = 0;
    for (const bool byRename : {true, false}) {
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(std::string(byRename ? "moved in" : "rewritten in place") +
                         (overwrite ? ", overwrite" : ", _SLIM"));
            const testing::TempDir dir;
            const fs::path path = dir.write("S.WAV", take);
            const fs::path output = dir.path() / ".output.txt";
            if (!overwrite) dir.write("S_SLIM.WAV", "an older slim file");
            const pid_t child = startCli(slimArgs(overwrite, path), output);
            int status = -1;
            const bool underWay = copyUnderWay(child, dir.path(), status);
            if (byRename) {
                dir.write(".S.WAV.partial", newTake);
                fs::rename(dir.path() / ".S.WAV.partial", path);
            } else {
                testing::writeFile(path, newTake);
            }
            if (underWay) status = exitStatusOf(child);
            EXPECT_TRUE(holdsExactly(path, newTake)) << "the new take must survive whole";
            EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());
            if (!(WIFEXITED(status) && WEXITSTATUS(status) == 1)) continue;  // the slim finished before the change
            ++struck;
            EXPECT_THAT(testing::readFile(output),
                        ::testing::StartsWith("S.WAV: The source file changed while it was being slimmed\n"));
            if (!overwrite) {
                EXPECT_EQ(testing::readFile(dir.path() / "S_SLIM.WAV"), "an older slim file");
            }
        }
    }
    EXPECT_GT(struck, 0) << "no change landed while a slim was under way";
}

TEST(SlimRaces, TwoSlimsOfOneFileAtOnceLoseNothing) {
    const std::string take = largeRecording();
    const testing::TempDir reference;
    const std::string slim = testing::readFile(compressPolyWav(reference.write("S.WAV", take), false, 0.001));
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "_SLIM");
        const testing::TempDir dir;
        const fs::path path = dir.write("S.WAV", take);
        const pid_t first = startCli(slimArgs(overwrite, path));
        const pid_t second = startCli(slimArgs(overwrite, path));
        const int firstStatus = exitStatusOf(first);
        const int secondStatus = exitStatusOf(second);
        const auto succeeded = [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; };
        EXPECT_TRUE(succeeded(firstStatus) || succeeded(secondStatus));
        if (overwrite) {
            EXPECT_TRUE(holdsExactly(path, slim));
            EXPECT_EQ(visibleNames(dir.path()), std::vector<std::string>{"S.WAV"});
        } else {
            EXPECT_TRUE(succeeded(firstStatus) && succeeded(secondStatus));
            EXPECT_TRUE(holdsExactly(path, take));
            EXPECT_TRUE(holdsExactly(dir.path() / "S_SLIM.WAV", slim));
        }
        EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());
    }
}

}  // namespace
}  // namespace tracksieve
