#include "platform_file.h"

#include <cerrno>
#include <utility>

#include "tracksieve/signal_cleanup.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#else
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

bool identify(const std::filesystem::path& path, FileIdentity& identity) {
    struct _stat64 status {};
    if (::_wstat64(path.c_str(), &status) != 0) return false;
    // No inode here; the size and the times still change with every rewrite.
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
    // _wstat64 gives whole seconds: a take rewritten within the second would pass for unchanged.
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
        const auto ticks =
            static_cast<std::int64_t>((static_cast<std::uint64_t>(attributes.ftLastWriteTime.dwHighDateTime) << 32) |
                                      attributes.ftLastWriteTime.dwLowDateTime);
        identity.modifiedNanoseconds = (ticks - kTicksFrom1601To1970) * 100;
    } else {
        identity.modifiedNanoseconds = static_cast<std::int64_t>(status.st_mtime) * 1000000000;
    }
    identity.changedNanoseconds = static_cast<std::int64_t>(status.st_ctime) * 1000000000;
    identity.permissions = static_cast<unsigned>(status.st_mode) & 0777u;
    identity.regularFile = (status.st_mode & _S_IFMT) == _S_IFREG;
    return true;
}

Folder::Folder(const std::filesystem::path& path) : path_(path.empty() ? std::filesystem::path(".") : path) {}

Folder::~Folder() = default;

bool Folder::isOpen() const {
    std::error_code ec;
    return std::filesystem::is_directory(path_, ec);
}

// _O_EXCL with _O_CREAT opens with CREATE_NEW, which refuses any existing entry. _wopen shares
// the file for reading and writing but not for deletion: while it is open, no other run can
// remove it, which is all the lock there is here. A new file takes its rights from its folder.
int Folder::createLockedFile(const std::filesystem::path& name, unsigned) const {
    if (injectedFailure(FileOperation::Create)) return -1;
    return ::_wopen((path_ / name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

// While it is open here no one can remove or rename it, so its name still names it.
bool Folder::namesOpenFile(const std::filesystem::path&, int) const { return true; }

// An open file cannot be removed here; the name is still ours until it is closed.
void Folder::discardOpenFile(const std::filesystem::path& name, int fd) const {
    closeFile(fd);
    std::error_code ignored;
    std::filesystem::remove(path_ / name, ignored);
}

// A file another run still writes cannot be removed: its open refuses deletion.
void Folder::removeIfAbandoned(const std::filesystem::path& name) const {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path_ / name, ec))) return;
    std::filesystem::remove(path_ / name, ec);
}

std::error_code Folder::moveOpenFileOnto(int& fd, const std::filesystem::path& from,
                                         const std::filesystem::path& to) const {
    // An open file cannot be moved here.
    closeFile(fd);
    fd = -1;
    if (injectedFailure(FileOperation::Rename)) return {errno, std::generic_category()};
    // With write-through the call returns only once the move is on disk.
    if (!::MoveFileExW((path_ / from).c_str(), (path_ / to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return {static_cast<int>(::GetLastError()), std::system_category()};
    }
    return {};
}

// The rename was written through; Windows has no separate flush for a folder's entries.
bool Folder::sync() const { return true; }

// Windows ends a process on these signals on a thread of its own, with the file still open and
// so not removable; the next run removes what is left.
int Folder::removeOnSignal(const std::filesystem::path&) const { return -1; }

void forgetOnSignal(int) {}

int duplicateDescriptor(int fd) { return ::_dup(fd); }

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

bool closeFile(int fd) {
    const bool injected = injectedFailure(FileOperation::Close);
    const int saved = errno;
    const bool closed = ::_close(fd) == 0;
    if (injected) errno = saved;
    return closed && !injected;
}

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

// A new file takes its access rights from its folder; there is no mode or owner to carry over.
bool copyModeAndOwner(int, const std::filesystem::path&) { return true; }

}  // namespace tracksieve::platform

namespace tracksieve {

void removeUnfinishedOutputsOnSignals() {}

}  // namespace tracksieve

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

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The files to remove should a signal end the process: lock-free, since the handler may run
// in the middle of any change to them. A slot holds its folder's descriptor + 1: kFree (zero,
// so that the table takes no space in the program) or kClaimed while it is being filled.
constexpr int kFree = 0;
constexpr int kClaimed = -1;
struct RemovalSlot {
    std::atomic<int> folder{kFree};
    std::array<char, 256> name{};
};
// A split of a take of many tracks writes a file per track at once.
std::array<RemovalSlot, 1024> removalSlots;

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

void removeUnfinishedOutputsAndEnd(int signal) {
    for (RemovalSlot& slot : removalSlots) {
        const int folder = slot.folder.load();
        if (folder > kFree) ::unlinkat(folder - 1, slot.name.data(), 0);
    }
    // The handler was reset on entry: once it returns, the signal ends the process as usual.
    ::raise(signal);
}

}  // namespace

bool identify(const std::filesystem::path& path, FileIdentity& identity) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return false;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
#ifdef __APPLE__
    identity.modifiedNanoseconds = nanoseconds(status.st_mtimespec);
    identity.changedNanoseconds = nanoseconds(status.st_ctimespec);
#else
    identity.modifiedNanoseconds = nanoseconds(status.st_mtim);
    identity.changedNanoseconds = nanoseconds(status.st_ctim);
#endif
    identity.permissions = static_cast<unsigned>(status.st_mode) & 0777u;
    identity.regularFile = S_ISREG(status.st_mode);
    return true;
}

Folder::Folder(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.empty() ? std::filesystem::path(".") : path;
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    // A folder one may enter and write to but not list still takes files.
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#endif
}

Folder::~Folder() {
    if (fd_ >= 0) ::close(fd_);
}

bool Folder::isOpen() const { return fd_ >= 0; }

int Folder::createLockedFile(const std::filesystem::path& name, unsigned permissions) const {
    if (injectedFailure(FileOperation::Create)) return -1;
    // O_EXCL refuses any existing entry, and with O_CREAT it never follows a symbolic link.
    const int fd =
        ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(permissions & 0777u));
    if (fd < 0) return -1;
    // Refused only when another run holds it, to remove it: a file system without locks leaves
    // the file unlocked, and the check before the rename still tells when it is gone.
    const bool takenByAnother = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (takenByAnother || !namesOpenFile(name, fd)) {
        ::close(fd);
        errno = EEXIST;
        return -1;
    }
    return fd;
}

bool Folder::namesOpenFile(const std::filesystem::path& name, int fd) const {
    struct stat named {};
    struct stat open {};
    return ::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           sameFile(named, open);
}

// Removed while still open: the name cannot pass to another file in between.
void Folder::discardOpenFile(const std::filesystem::path& name, int fd) const {
    if (namesOpenFile(name, fd)) ::unlinkat(fd_, name.c_str(), 0);
    ::close(fd);
}

void Folder::removeIfAbandoned(const std::filesystem::path& name) const {
    struct stat entry {};
    if (::fstatat(fd_, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return;
    // Unlinking a link never touches its target, and no run writes through one.
    if (S_ISLNK(entry.st_mode)) {
        ::unlinkat(fd_, name.c_str(), 0);
        return;
    }
    if (!S_ISREG(entry.st_mode)) return;
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && namesOpenFile(name, fd)) ::unlinkat(fd_, name.c_str(), 0);
    ::close(fd);
}

// Moved while still open, so that it stays locked until it carries its final name.
std::error_code Folder::moveOpenFileOnto(int& fd, const std::filesystem::path& from,
                                         const std::filesystem::path& to) const {
    if (injectedFailure(FileOperation::Rename) || ::renameat(fd_, from.c_str(), fd_, to.c_str()) != 0) {
        return {errno, std::generic_category()};
    }
    ::close(fd);
    fd = -1;
    return {};
}

bool Folder::sync() const {
    if (injectedFailure(FileOperation::SyncFolder)) return false;
    return flushToDevice(fd_);
}

int Folder::removeOnSignal(const std::filesystem::path& name) const {
    const std::string& text = name.native();
    for (std::size_t i = 0; i < removalSlots.size(); ++i) {
        RemovalSlot& slot = removalSlots[i];
        int free = kFree;
        if (text.size() >= slot.name.size() || !slot.folder.compare_exchange_strong(free, kClaimed)) continue;
        std::memcpy(slot.name.data(), text.c_str(), text.size() + 1);
        slot.folder.store(fd_ + 1);
        return static_cast<int>(i);
    }
    return -1;
}

void forgetOnSignal(int slot) {
    if (slot >= 0) removalSlots[static_cast<std::size_t>(slot)].folder.store(kFree);
}

int duplicateDescriptor(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

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

// A failing close is injected after the real one, which must happen all the same.
bool closeFile(int fd) {
    const bool injected = injectedFailure(FileOperation::Close);
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!injected) return closed;
    errno = error;
    return false;
}

// Only a regular file is opened: a FIFO would hold the open up for good, and opening a device
// may do something. Without blocking, so that one swapped in after the check cannot either.
int openForReading(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

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

bool copyModeAndOwner(int fd, const std::filesystem::path& model) {
    struct stat status {};
    if (::stat(model.c_str(), &status) != 0) return false;
    // Only a privileged process may give a file away; a member of the group may still set that.
    if (::fchown(fd, status.st_uid, status.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
    // After the owner: a change of owner may clear the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, status.st_mode & 07777) == 0;
}

}  // namespace tracksieve::platform

namespace tracksieve {

void removeUnfinishedOutputsOnSignals() {
    struct sigaction action {};
    action.sa_handler = platform::removeUnfinishedOutputsAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : platform::kEndingSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESETHAND;
    for (const int signal : platform::kEndingSignals) {
        struct sigaction previous {};
        // A signal ignored by whoever started the program (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    // A file grown past the size limit is then a write that fails, for that file alone.
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace tracksieve

#endif
