#pragma once

#include <cstddef>
#include <string>

#include <tracksieve/run_texts.h>

namespace tracksieve::app {

/// What a removal or a mono export did, file by file, as the report box and the status line
/// tell it.
class RemovalReport {
public:
    /// `doneText` words the status line for the count of files written.
    explicit RemovalReport(std::string (*doneText)(std::size_t files) = removedFromFilesText) : _doneText(doneText) {}

    /// `written` names what was written: one file, or a list of them.
    void addWritten(const std::string& source, const std::string& written, int removed, int kept);
    void addFailed(const std::string& source, const std::string& message);
    /// The files a stop left untouched.
    void setNotStarted(int count) { _notStarted = count; }

    int failedCount() const { return _failedCount; }
    /// "Removed empty tracks from %d file(s)." (or `doneText`'s words) and what failed or was not
    /// started.
    std::string status() const;
    /// The report box's list: what was not started, then the failures, then the written files,
    /// so that a long list never hides what went wrong.
    std::string body() const;

private:
    std::string (*_doneText)(std::size_t files);
    std::string _written;
    std::string _failed;
    int _writtenCount = 0;
    int _failedCount = 0;
    int _notStarted = 0;
};

}  // namespace tracksieve::app
