#include "output_file.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <system_error>

#include "platform_file.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;

[[noreturn]] void failCreate() { throw std::runtime_error("Could not create output file"); }
[[noreturn]] void failWrite() { throw std::runtime_error("Could not write output file"); }

}  // namespace

fs::path OutputFile::temporaryPathFor(const fs::path& finalPath) {
    fs::path name = ".";
    name += finalPath.stem();
    name += "_compressing";
    name += finalPath.extension();
    return finalPath.parent_path() / name;
}

OutputFile::OutputFile(const fs::path& finalPath)
    : finalPath_(finalPath), temporaryPath_(temporaryPathFor(finalPath)) {
    std::error_code ec;
    const fs::file_status target = fs::symlink_status(finalPath_, ec);
    if (fs::exists(target) && !fs::is_regular_file(target) && !fs::is_symlink(target)) failCreate();
    // A leftover of an interrupted run; unlinking a link never touches its target.
    const fs::file_status leftover = fs::symlink_status(temporaryPath_, ec);
    if (fs::exists(leftover) && !fs::is_directory(leftover)) fs::remove(temporaryPath_, ec);
    fd_ = platform::createNewFile(temporaryPath_);
    if (fd_ < 0) failCreate();
}

OutputFile::~OutputFile() {
    if (committed_) return;
    // Only our own file: another run may have put its own under that name since.
    if (fd_ >= 0) {
        platform::discardOpenFile(temporaryPath_, fd_);
    } else {
        std::error_code ec;
        fs::remove(temporaryPath_, ec);
    }
}

void OutputFile::write(const void* bytes, std::size_t size) {
    if (!platform::writeAll(fd_, bytes, size)) failWrite();
    written_ += size;
    // The disk works while the copy goes on, so the flush before the rename finds little left.
    if (written_ - writebackFrom_ >= kWritebackStep) {
        platform::startWriteback(fd_, writebackFrom_, written_ - writebackFrom_);
        writebackFrom_ = written_;
    }
}

void OutputFile::writeZeros(std::uint64_t count) {
    static constexpr std::array<char, 4096> kZeros{};
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
        write(kZeros.data(), n);
        count -= n;
    }
}

void OutputFile::takeModeAndOwnerOf(const fs::path& model) {
    if (!platform::copyModeAndOwner(fd_, model)) failWrite();
}

void OutputFile::flushAndClose() {
    // Another run of the same slim replaces a temporary file it takes for a leftover: its
    // unfinished file must not be moved into place by this one.
    if (!platform::syncFile(fd_) || !platform::namesOpenFile(temporaryPath_, fd_)) failWrite();
    const bool closed = platform::closeFile(fd_);
    fd_ = -1;
    if (!closed) failWrite();
}

void OutputFile::commit() {
    if (fd_ >= 0) flushAndClose();
    if (const std::error_code error = platform::renameReplacing(temporaryPath_, finalPath_)) {
        throw fs::filesystem_error("Could not move the output into place", temporaryPath_, finalPath_, error);
    }
    committed_ = true;
    // Best effort: the rename has happened, whatever the folder's sync reports.
    platform::syncDirectory(finalPath_.parent_path().empty() ? fs::path(".") : finalPath_.parent_path());
}

}  // namespace tracksieve
