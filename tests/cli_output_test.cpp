// What the command line owes its caller beyond the report itself: a report that could not be
// written is a failure, and files or folders that could not be read are named and change the
// exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "cli_app.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::wavWithLevels;

struct ProgramRun {
    int status;
    std::string err;
};

// Runs the real program with its standard output on `stdoutPath`.
ProgramRun runProgram(const std::vector<std::string>& args, const char* stdoutPath, const fs::path& errPath) {
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(stdoutPath, O_WRONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(TRACKSIEVE_CLI_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errPath)};
}

TEST(CliOutput, AReportThatCannotBeWrittenFailsTheCommand) {
    TempDir dir;
    const fs::path take = dir.write("take.wav", wavWithLevels({1000, 0, 1000}));
    const fs::path errPath = dir.path() / ".." / (dir.path().filename().string() + "-stderr");
    const std::vector<std::string> commands[] = {
        {"scan", dir.path().string()},
        {"scan", "--json", dir.path().string()},
        {"slim", take.string()},
    };
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0] + " " + command[1]);
        EXPECT_EQ(runProgram(command, "/dev/null", errPath).status, 0);
        const ProgramRun full = runProgram(command, "/dev/full", errPath);
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err, "Could not write the output (No space left on device)\n");
    }
    fs::remove(errPath);
}

TEST(CliOutput, UnreadableFilesAndFoldersAreNamedAndChangeTheExitStatus) {
    TempDir dir;
    dir.write("a.wav", wavWithLevels({1000, 0}));
    const fs::path locked = dir.write("locked.wav", wavWithLevels({1000, 0}));
    const fs::path shut = dir.write("shut/b.wav", wavWithLevels({1000, 0})).parent_path();
    fs::permissions(locked, fs::perms::none);
    fs::permissions(shut, fs::perms::none);
    EXPECT_TRUE(testing::holdsUnprivileged([&] {
        const char* argv[] = {"tracksieve-cli", "scan", "-r", dir.path().c_str()};
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::runCli(4, argv, out, err, {});
        return status == 3 && err.str() == "Could not read folder: " + shut.string() + "\n" &&
               out.str() ==
                   "a.wav  \xE2\x80\x94  2 tracks (1 active, 1 empty)  48000 Hz  0.0s\n"
                   "locked.wav  \xE2\x80\x94  error: Could not open file\n"
                   "Found 2 polyphonic WAV file(s); 1 have empty tracks.\n";
    }));
    fs::permissions(shut, fs::perms::owner_all);
}

}  // namespace
}  // namespace tracksieve
