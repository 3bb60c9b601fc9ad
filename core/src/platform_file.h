#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <system_error>

// The few file operations the standard library cannot express. Each failure leaves its reason
// in errno, as the system call did.
namespace tracksieve::platform {

/// The operations that can fail while an output is written and moved into place.
enum class FileOperation { Create, Write, Sync, Close, Rename, SyncFolder };

/// A test seam: when set, it is asked before each operation, and a non-zero error number it
/// returns makes that operation fail with it, untried. Production code never sets one.
using FaultInjector = std::function<int(FileOperation)>;
void setFaultInjector(FaultInjector injector);

/// A test seam for reads: asked before each read of `size` bytes at `offset`, it may lower
/// `size` (a short read) or return an error number for the read to fail with, untried.
using ReadFaultInjector = std::function<int(std::uint64_t offset, std::size_t& size)>;
void setReadFaultInjector(ReadFaultInjector injector);

/// Opens an existing file for reading and returns its descriptor, or -1.
int openForReading(const std::filesystem::path& path);

/// Reads up to `size` bytes at `offset`, resuming after an interrupted call. Returns how many
/// came (0 only at the end of the file), or -1 on a read error.
std::int64_t readAt(int fd, void* bytes, std::size_t size, std::uint64_t offset);

/// The size of the open file, or -1.
std::int64_t sizeOfOpenFile(int fd);

/// What tells one file from another, and one state of a file from the next: a file replaced
/// under the same name has another identity, and so has one rewritten in place.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedNanoseconds = 0;  // the status change time, where the system keeps one
    unsigned permissions = 0;             // the permission bits, 0777 at most
    bool regularFile = false;

    bool sameFileUnchanged(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modifiedNanoseconds == other.modifiedNanoseconds && changedNanoseconds == other.changedNanoseconds;
    }
};

/// The identity of what `path` names, following symbolic links; false when it cannot be read.
bool identify(const std::filesystem::path& path, FileIdentity& identity);

/// A folder held open: files in it are created, renamed and removed by name relative to it, so
/// they stay in that folder whatever happens to the folder's own path meanwhile.
class Folder {
public:
    /// `isOpen()` tells whether it could be opened.
    explicit Folder(const std::filesystem::path& path);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const;

    /// Creates `name` as a new, empty regular file open for writing, with `permissions` less the
    /// process's umask, and locks it for as long as any descriptor of it stays open, so that
    /// `removeIfAbandoned` in another run leaves it alone. Returns the descriptor, or -1 when
    /// anything already exists under that name (a dangling symbolic link included), when the
    /// file cannot be created, or when another run took it for a leftover before it was locked.
    int createLockedFile(const std::filesystem::path& name, unsigned permissions) const;

    /// True when `name` (not following a link) names the open file `fd`.
    bool namesOpenFile(const std::filesystem::path& name, int fd) const;

    /// Removes `name` as long as it names the open file `fd`, and closes `fd`.
    void discardOpenFile(const std::filesystem::path& name, int fd) const;

    /// Removes `name` when it is a symbolic link or a file that no live run holds locked (left
    /// over from a run that was killed). Anything else stays.
    void removeIfAbandoned(const std::filesystem::path& name) const;

    /// Moves the open file `fd`, named `from`, onto `to` in one step and closes `fd`. Whatever
    /// `to` names is replaced, a symbolic link itself and never its target. On failure `fd`
    /// stays open where the system allows an open file to be removed.
    std::error_code moveOpenFileOnto(int& fd, const std::filesystem::path& from, const std::filesystem::path& to) const;

    /// Forces the folder's entries (a rename into it, for instance) onto the storage device.
    bool sync() const;

    /// Registers `name` as a file to remove should the process be ended by a signal, until
    /// `forgetOnSignal` with the returned slot (which may be -1 when no slot is free).
    int removeOnSignal(const std::filesystem::path& name) const;

private:
#ifdef _WIN32
    std::filesystem::path path_;
#else
    int fd_ = -1;
#endif
};

void forgetOnSignal(int slot);

/// A second descriptor of the same open file: the file stays open, and locked, after `fd` is
/// closed. -1 on failure.
int duplicateDescriptor(int fd);

/// Writes all `size` bytes, resuming after short writes.
bool writeAll(int fd, const void* bytes, std::size_t size);

/// Asks the system to start writing `length` bytes from `offset` to the storage device now,
/// without waiting for them; a hint that may do nothing.
void startWriteback(int fd, std::uint64_t offset, std::uint64_t length);

/// Forces the file's data onto the storage device.
bool syncFile(int fd);

bool closeFile(int fd);

/// Gives the open file the permission bits of the file at `model`, and its owner and group as
/// far as the process may set them.
bool copyModeAndOwner(int fd, const std::filesystem::path& model);

}  // namespace tracksieve::platform
