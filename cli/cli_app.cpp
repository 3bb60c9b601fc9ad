#include "cli_app.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

#include "tracksieve/path_text.h"
#include "tracksieve/version.h"

#include "exit_codes.h"
#include "scan_command.h"
#include "slim_command.h"
#include "split_command.h"

namespace tracksieve::cli {
namespace {

// A report cut short by a full disk or a closed pipe must not pass for a whole one. Stream
// errors are sticky, so one check at the end catches every write that failed.
int withOutputChecked(int status, std::ostream& out, std::ostream& err) {
    errno = 0;
    out.flush();
    if (out) return status;
    const int reason = errno;
    err << "Could not write the output";
    if (reason != 0) err << " (" << std::generic_category().message(reason) << ')';
    err << '\n';
    return status == kExitSuccess ? kExitFailure : status;
}

}  // namespace

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals) {
    CLI::App app{"Finds the silent tracks of polyphonic WAV files from field recorders.", "tracksieve-cli"};
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    app.set_version_flag("--version", "tracksieve-cli " + std::string(kVersion));

    ScanRequest scan;
    std::string scanDir;
    CLI::App* scanCommand = app.add_subcommand("scan", "List the polyphonic WAV files in DIR and their silent tracks");
    scanCommand->add_flag("-r,--recursive", scan.recursive, "Include subfolders");
    CLI::Option* json = scanCommand->add_flag("--json", scan.json, "Print the results as one JSON object");
    scanCommand->add_flag("--csv", scan.csv, "Print one CSV row per track (the sound report)")->excludes(json);
    scanCommand->add_option("DIR", scanDir, "Folder to scan")->required();

    SlimRequest slim;
    std::vector<std::string> slimFiles;
    std::string slimOutput;
    CLI::App* slimCommand = app.add_subcommand("slim", "Write each FILE again without its empty tracks");
    slimCommand->add_flag("--overwrite", slim.overwrite, "Replace FILE itself instead of writing <name>_SLIM beside it");
    slimCommand->add_option("-o,--output", slimOutput, "Write the result to PATH (one FILE only)")->option_text("PATH");
    slimCommand->add_option("FILE", slimFiles, "WAV files to slim")->required();

    SplitRequest split;
    std::vector<std::string> splitFiles;
    std::string splitDir;
    CLI::App* splitCommand =
        app.add_subcommand("split", "Write each kept track of each FILE as a mono WAV file <name>_<track>");
    splitCommand->add_option("-o,--output", splitDir, "Write the mono files into DIR instead of beside FILE")
        ->option_text("DIR");
    splitCommand->add_option("FILE", splitFiles, "WAV files to split")->required();

    try {
        app.parse(argc, argv);
        std::error_code statusError;
        if (splitCommand->parsed() && !splitDir.empty() &&
            !std::filesystem::is_directory(pathFromUtf8(splitDir), statusError)) {
            throw CLI::ValidationError("--output", "Not a directory: " + splitDir);
        }
        if (slimCommand->parsed() && !slimOutput.empty() && slimFiles.size() != 1) {
            throw CLI::ValidationError("--output", "takes one FILE only");
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? kExitSuccess : kExitUsage;
    }

    if (scanCommand->parsed()) {
        scan.dir = pathFromUtf8(scanDir);
        scan.outIsTerminal = terminals.out;
        scan.errIsTerminal = terminals.err;
        return withOutputChecked(runScan(scan, out, err), out, err);
    }
    if (slimCommand->parsed()) {
        for (const std::string& file : slimFiles) slim.files.push_back(pathFromUtf8(file));
        slim.output = pathFromUtf8(slimOutput);
        slim.outIsTerminal = terminals.out;
        return withOutputChecked(runSlim(slim, out), out, err);
    }
    if (splitCommand->parsed()) {
        for (const std::string& file : splitFiles) split.files.push_back(pathFromUtf8(file));
        split.options.outputDir = pathFromUtf8(splitDir);
        split.outIsTerminal = terminals.out;
        return withOutputChecked(runSplit(split, out), out, err);
    }
    return kExitUsage;
}

}  // namespace tracksieve::cli
