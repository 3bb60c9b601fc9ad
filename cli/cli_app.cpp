#include "cli_app.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

#include "tracksieve/fixed_values.h"
#include "tracksieve/path_text.h"
#include "tracksieve/version.h"

#include "exit_codes.h"
#include "scan_command.h"
#include "slim_command.h"
#include "split_command.h"
#include "threshold_text.h"
#include "track_selection.h"

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

constexpr const char* kThresholdHelp = "Count a track as empty when its peak stays below DB dBFS (default -60)";
constexpr const char* kKeepHelp =
    "Keep these tracks even when silent: track numbers (1 = first) or names, comma-separated";
constexpr const char* kRemoveHelp = "Remove these tracks even when they sound: track numbers or names, comma-separated";

// The level in dBFS, a usage error unless a number up to 0. A value such as -72.5 may follow
// the option as its own argument.
CLI::Option* addThreshold(CLI::App* command, std::string& text) {
    return command->add_option("--threshold", text, kThresholdHelp)->option_text("DB")->allow_extra_args(false);
}

double thresholdOf(const CLI::Option* option, const std::string& text) {
    if (option->count() == 0) return kThreshold;
    const std::optional<double> threshold = thresholdFromText(text);
    if (!threshold) throw CLI::ValidationError("--threshold", "not a level in dBFS up to 0: " + text);
    return *threshold;
}

// Each of --keep and --remove may be given more than once; the items add up.
void addTrackLists(CLI::App* command, std::vector<std::string>& keep, std::vector<std::string>& remove) {
    command->add_option("--keep", keep, kKeepHelp)->option_text("LIST")->type_size(1)->allow_extra_args(false);
    command->add_option("--remove", remove, kRemoveHelp)->option_text("LIST")->type_size(1)->allow_extra_args(false);
}

TrackLists trackListsOf(const std::vector<std::string>& keep, const std::vector<std::string>& remove) {
    TrackLists lists;
    for (const std::string& list : keep) {
        for (std::string& item : listItems(list)) lists.keep.push_back(std::move(item));
    }
    for (const std::string& list : remove) {
        for (std::string& item : listItems(list)) lists.remove.push_back(std::move(item));
    }
    return lists;
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
    std::string scanThreshold;
    const CLI::Option* scanThresholdOption = addThreshold(scanCommand, scanThreshold);
    scanCommand->add_option("DIR", scanDir, "Folder to scan")->required();

    SlimRequest slim;
    std::vector<std::string> slimFiles;
    std::string slimOutput;
    CLI::App* slimCommand = app.add_subcommand("slim", "Write each FILE again without its empty tracks");
    slimCommand->add_flag("--overwrite", slim.overwrite,
                          "Replace FILE itself instead of writing <name>_SLIM beside it");
    slimCommand->add_option("-o,--output", slimOutput, "Write the result to PATH (one FILE only)")->option_text("PATH");
    std::string slimThreshold;
    const CLI::Option* slimThresholdOption = addThreshold(slimCommand, slimThreshold);
    std::vector<std::string> slimKeep;
    std::vector<std::string> slimRemove;
    addTrackLists(slimCommand, slimKeep, slimRemove);
    slimCommand->add_flag("--same-tracks", slim.sameTracks,
                          "Takes with the same tracks (count, names, order) keep the same ones: a track is removed "
                          "only where it is silent in all of them");
    slimCommand->add_option("FILE", slimFiles, "WAV files to slim")->required();

    SplitRequest split;
    std::vector<std::string> splitFiles;
    std::string splitDir;
    CLI::App* splitCommand =
        app.add_subcommand("split", "Write each kept track of each FILE as a mono WAV file <name>_<track>");
    splitCommand->add_option("-o,--output", splitDir, "Write the mono files into DIR instead of beside FILE")
        ->option_text("DIR");
    std::string splitThreshold;
    const CLI::Option* splitThresholdOption = addThreshold(splitCommand, splitThreshold);
    std::vector<std::string> splitKeep;
    std::vector<std::string> splitRemove;
    addTrackLists(splitCommand, splitKeep, splitRemove);
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
        scan.threshold = thresholdOf(scanThresholdOption, scanThreshold);
        slim.threshold = thresholdOf(slimThresholdOption, slimThreshold);
        split.options.threshold = thresholdOf(splitThresholdOption, splitThreshold);
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
        slim.lists = trackListsOf(slimKeep, slimRemove);
        slim.outIsTerminal = terminals.out;
        slim.errIsTerminal = terminals.err;
        return withOutputChecked(runSlim(slim, out, err), out, err);
    }
    if (splitCommand->parsed()) {
        for (const std::string& file : splitFiles) split.files.push_back(pathFromUtf8(file));
        split.options.outputDir = pathFromUtf8(splitDir);
        split.lists = trackListsOf(splitKeep, splitRemove);
        split.outIsTerminal = terminals.out;
        split.errIsTerminal = terminals.err;
        return withOutputChecked(runSplit(split, out, err), out, err);
    }
    return kExitUsage;
}

}  // namespace tracksieve::cli
