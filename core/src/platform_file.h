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
enum class FileOperation { Create, Write, Sync, Rename };

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

/// Creates `path` as a new, empty regular file open for writing and returns its descriptor, or
/// -1 when anything already exists under that name (a dangling symbolic link included) or the
/// file cannot be created.
int createNewFile(const std::filesystem::path& path);

/// Writes all `size` bytes, resuming after short writes.
bool writeAll(int fd, const void* bytes, std::size_t size);

/// Asks the system to start writing `length` bytes from `offset` to the storage device now,
/// without waiting for them; a hint that may do nothing.
void startWriteback(int fd, std::uint64_t offset, std::uint64_t length);

/// Forces the file's data onto the storage device.
bool syncFile(int fd);

bool closeFile(int fd);

/// True when `path` (not following a link) names the open file `fd`.
bool namesOpenFile(const std::filesystem::path& path, int fd);

/// Removes `path` as long as it names the open file `fd`, and closes `fd`.
void discardOpenFile(const std::filesystem::path& path, int fd);

/// Gives the open file the permission bits of the file at `model`, and its owner and group as
/// far as the process may set them.
bool copyModeAndOwner(int fd, const std::filesystem::path& model);

/// Moves `from` onto `to` in one step. Whatever `to` names is replaced, a symbolic link itself
/// and never its target.
std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

/// Forces the entries of `directory` (a rename into it, for instance) onto the storage device.
bool syncDirectory(const std::filesystem::path& directory);

}  // namespace tracksieve::platform
