#include "removal_report.h"

#include "tracksieve/run_texts.h"

namespace tracksieve::app {

void RemovalReport::addWritten(const std::string& source, const std::string& written, int removed, int kept) {
    _written += writtenText(source, written, static_cast<std::size_t>(removed), static_cast<std::size_t>(kept)) + "\n";
    ++_writtenCount;
}

void RemovalReport::addFailed(const std::string& source, const std::string& message) {
    _failed += source + ": " + message + "\n";
    ++_failedCount;
}

std::string RemovalReport::status() const {
    std::string status = removedFromFilesText(static_cast<std::size_t>(_writtenCount));
    // Appended piece by piece: GCC 12 takes `" " + std::to_string(n)` for an overlapping copy.
    if (_failedCount != 0) status.append(" ").append(std::to_string(_failedCount)).append(" failed.");
    if (_notStarted != 0) status.append(" ").append(std::to_string(_notStarted)).append(" not started.");
    return status;
}

std::string RemovalReport::body() const {
    std::string body;
    const auto part = [&body](const std::string& text) {
        if (!body.empty()) body += "\n";
        body += text;
    };
    if (_notStarted != 0) part("Stopped: " + std::to_string(_notStarted) + " file(s) not started.\n");
    if (!_failed.empty()) part("Errors:\n" + _failed);
    if (!_written.empty()) part("Success:\n" + _written);
    return body;
}

}  // namespace tracksieve::app
