#pragma once

#include <string>

namespace tracksieve::app {

/// What a removal did, file by file, as the report box and the status line tell it.
class RemovalReport {
public:
    void addWritten(const std::string& source, const std::string& written, int removed, int kept);
    void addFailed(const std::string& source, const std::string& message);
    /// The files a stop left untouched.
    void setNotStarted(int count) { _notStarted = count; }

    int failedCount() const { return _failedCount; }
    /// "Removed empty tracks from %d file(s)." and what failed or was not started.
    std::string status() const;
    /// The report box's list: what was not started, then the failures, then the written files,
    /// so that a long list never hides what went wrong.
    std::string body() const;

private:
    std::string _written;
    std::string _failed;
    int _writtenCount = 0;
    int _failedCount = 0;
    int _notStarted = 0;
};

}  // namespace tracksieve::app
