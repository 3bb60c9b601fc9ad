#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::pcmFrames;
using testing::readFile;
using testing::TempDir;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;
constexpr rlim_t kFileSizeLimit = 32 * 1024;

std::string messageOf(const fs::path& source, bool overwrite, const fs::path& outputPath = {}) {
    try {
        compressPolyWav(source, overwrite, kThreshold, outputPath);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no exception)";
}

// Runs the writer in a child process whose files may not grow beyond kFileSizeLimit, so that
// the disk seems to fill up halfway through the output. Returns the child's message.
std::string messageWithFileSizeLimit(const fs::path& source, bool overwrite) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = messageOf(source, overwrite);
        const ssize_t written = write(channel[1], message.data(), message.size());
        _exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string message;
    char buffer[256];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return message;
}

class SlimWriterFailure : public ::testing::Test {
protected:
    // 3 channels of 16 bits, the first silent: the slim file holds 80 000 bytes of samples.
    SlimWriterFailure()
        : bytes_(WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {20000, {0, 28672, -28672}})).bytes()),
          source_(dir_.write("A.wav", bytes_)) {}

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
    std::string bytes_;
    fs::path source_;
};

TEST_F(SlimWriterFailure, FullDiskDuringOverwriteLeavesTheSourceAndNoTemporaryFile) {
    EXPECT_EQ(messageWithFileSizeLimit(source_, true), "Could not write output file");
    EXPECT_EQ(readFile(source_), bytes_);
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav"));
}

TEST_F(SlimWriterFailure, FullDiskRemovesTheSlimFileItCreatedOrTruncated) {
    EXPECT_EQ(messageWithFileSizeLimit(source_, false), "Could not write output file");
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav"));

    dir_.write("A_SLIM.wav", "an older slim file");
    EXPECT_EQ(messageWithFileSizeLimit(source_, false), "Could not write output file");
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav"));
    EXPECT_EQ(readFile(source_), bytes_);
}

TEST_F(SlimWriterFailure, WritingToDevFullFailsAndLeavesTheDeviceInPlace) {
    const fs::path devFull = "/dev/full";
    if (!fs::is_character_file(devFull)) GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(messageOf(source_, false, devFull), "Could not write output file");
    EXPECT_TRUE(fs::is_character_file(devFull));
    EXPECT_EQ(readFile(source_), bytes_);
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav"));
}

}  // namespace
}  // namespace tracksieve
