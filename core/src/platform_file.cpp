#include "platform_file.h"

#include <cerrno>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tracksieve::platform {
namespace {

FaultInjector& faultInjector() {
    static FaultInjector injector;
    return injector;
}

// True when a test asked for `operation` to fail; errno then holds the error it chose.
bool injectedFailure(FileOperation operation) {
    const FaultInjector& injector = faultInjector();
    if (!injector) return false;
    const int error = injector(operation);
    if (error == 0) return false;
    errno = error;
    return true;
}

ReadFaultInjector& readFaultInjector() {
    static ReadFaultInjector injector;
    return injector;
}

// True when a test asked for this read to fail; errno then holds the error it chose. It may
// also have shortened the read.
bool injectedReadFailure(std::uint64_t offset, std::size_t& size) {
    const ReadFaultInjector& injector = readFaultInjector();
    if (!injector) return false;
    const int error = injector(offset, size);
    if (error == 0) return false;
    errno = error;
    return true;
}

}  // namespace

void setFaultInjector(FaultInjector injector) { faultInjector() = std::move(injector); }

void setReadFaultInjector(ReadFaultInjector injector) { readFaultInjector() = std::move(injector); }

#ifdef _WIN32

int createNewFile(const std::filesystem::path& path) {
    if (injectedFailure(FileOperation::Create)) return -1;
    // _O_EXCL with _O_CREAT opens with CREATE_NEW, which refuses any existing entry.
    return ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

bool writeAll(int fd, const void* bytes, std::size_t size) {
    const auto* next = static_cast<const char*>(bytes);
    while (size > 0) {
        if (injectedFailure(FileOperation::Write)) return false;
        const auto chunk = static_cast<unsigned int>(std::min<std::size_t>(size, INT_MAX));
        const int written = ::_write(fd, next, chunk);
        if (written <= 0) return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Windows has no early write-back hint; the flush before the rename does all the work.
void startWriteback(int, std::uint64_t, std::uint64_t) {}

bool syncFile(int fd) {
    if (injectedFailure(FileOperation::Sync)) return false;
    return ::_commit(fd) == 0;  // FlushFileBuffers
}

bool closeFile(int fd) { return ::_close(fd) == 0; }

int openForReading(const std::filesystem::path& path) {
    return ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

// No positioned read here: a descriptor is read by one thread at a time, so seek and read
// may go one after the other.
std::int64_t readAt(int fd, void* bytes, std::size_t size, std::uint64_t offset) {
    for (;;) {
        std::size_t wanted = std::min<std::size_t>(size, INT_MAX);
        int got = -1;
        if (!injectedReadFailure(offset, wanted) && ::_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) >= 0) {
            got = ::_read(fd, bytes, static_cast<unsigned int>(wanted));
        }
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

std::int64_t sizeOfOpenFile(int fd) {
    struct _stat64 status {};
    return ::_fstat64(fd, &status) == 0 ? status.st_size : -1;
}

// _wopen shares the file for reading and writing but not for deletion: while it is open here,
// no one can remove or rename it, so its name still names it.
bool namesOpenFile(const std::filesystem::path&, int) { return true; }

// An open file cannot be removed here; the name is still ours until it is closed.
void discardOpenFile(const std::filesystem::path& path, int fd) {
    closeFile(fd);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// A new file takes its access rights from its folder; there is no mode or owner to carry over.
bool copyModeAndOwner(int, const std::filesystem::path&) { return true; }

std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (injectedFailure(FileOperation::Rename)) return {errno, std::generic_category()};
    // With write-through the call returns only once the move is on disk.
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return {static_cast<int>(::GetLastError()), std::system_category()};
    }
    return {};
}

// The rename was written through; Windows has no separate flush for a folder's entries.
bool syncDirectory(const std::filesystem::path&) { return true; }

#else

namespace {

// On macOS fsync only hands the data to the drive, which may keep it in its cache.
bool flushToDevice(int fd) {
#ifdef __APPLE__
    return ::fcntl(fd, F_FULLFSYNC) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

}  // namespace

int createNewFile(const std::filesystem::path& path) {
    if (injectedFailure(FileOperation::Create)) return -1;
    // O_EXCL refuses any existing entry, and with O_CREAT it never follows a symbolic link.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool writeAll(int fd, const void* bytes, std::size_t size) {
    const auto* next = static_cast<const char*>(bytes);
    while (size > 0) {
        if (injectedFailure(FileOperation::Write)) return false;
        const ssize_t written = ::write(fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void startWriteback(int fd, std::uint64_t offset, std::uint64_t length) {
#ifdef __linux__
    (void)::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)offset, (void)length;
#endif
}

bool syncFile(int fd) {
    if (injectedFailure(FileOperation::Sync)) return false;
    return flushToDevice(fd);
}

bool closeFile(int fd) { return ::close(fd) == 0; }

int openForReading(const std::filesystem::path& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

std::int64_t readAt(int fd, void* bytes, std::size_t size, std::uint64_t offset) {
    for (;;) {
        std::size_t wanted = size;
        const ssize_t got =
            injectedReadFailure(offset, wanted) ? -1 : ::pread(fd, bytes, wanted, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

std::int64_t sizeOfOpenFile(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_size : -1;
}

bool namesOpenFile(const std::filesystem::path& path, int fd) {
    struct stat named {};
    struct stat open {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

// Removed while still open: the name cannot pass to another file in between.
void discardOpenFile(const std::filesystem::path& path, int fd) {
    if (namesOpenFile(path, fd)) ::unlink(path.c_str());
    closeFile(fd);
}

bool copyModeAndOwner(int fd, const std::filesystem::path& model) {
    struct stat status {};
    if (::stat(model.c_str(), &status) != 0) return false;
    // Only a privileged process may give a file away; a member of the group may still set that.
    if (::fchown(fd, status.st_uid, status.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
    // After the owner: a change of owner may clear the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, status.st_mode & 07777) == 0;
}

std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (injectedFailure(FileOperation::Rename) || std::rename(from.c_str(), to.c_str()) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

bool syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = flushToDevice(fd);
    return (::close(fd) == 0) && synced;
}

#endif

}  // namespace tracksieve::platform
