#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform_file.h"

namespace tracksieve {

/// One output file, written under a hidden temporary name of its own beside its final place and
/// renamed into place only when complete and on disk, so that nothing incomplete ever carries a
/// name a user trusts. Every write is checked; a failure throws std::runtime_error("Could not
/// write output file (reason)"). Until `commit()` has succeeded the destructor removes the
/// temporary file, through the folder held open, so a folder renamed meanwhile keeps nothing.
class OutputFile {
public:
    /// "." + stem + "_compressing-" + `token` + extension, the stem (and, for an absurd one, the
    /// extension) cut short where needed for the name to fit the limit of a file name.
    static std::filesystem::path temporaryNameFor(const std::filesystem::path& finalName, std::string_view token);
    /// True when `name` is the temporary name of any run for `finalName`, an earlier version's
    /// (no token) included.
    static bool isTemporaryNameFor(const std::filesystem::path& name, const std::filesystem::path& finalName);

    /// Creates the temporary file with `permissions` less the umask. Throws
    /// std::runtime_error("Could not create output file (reason)") when `finalPath` names
    /// anything but a regular file or a symbolic link (a folder, a device), or when the
    /// temporary file cannot be created. Temporary files that killed runs left for the same final
    /// name are removed; those of runs still going are left alone.
    OutputFile(const std::filesystem::path& finalPath, unsigned permissions);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const void* bytes, std::size_t size);
    void writeZeros(std::uint64_t count);
    /// Gives the file the permission bits of `model` (the file it will replace), and its owner
    /// and group where the process may set them.
    void takeModeAndOwnerOf(const std::filesystem::path& model);
    /// Forces the file onto the storage device and closes it for writing (it stays open, and
    /// locked, until it takes its name), so that a later commit() only renames: several files
    /// can then be made ready before any of them takes its name.
    void flushAndClose();
    /// Forces the file onto the storage device and closes it where flushAndClose() has not,
    /// calls `beforeRename` (which may throw to abandon the file) and renames it onto the final
    /// path, replacing whatever is there (a symbolic link itself, never its target). A failed
    /// rename throws std::runtime_error("Could not move the output into place (reason)").
    void commit(const std::function<void()>& beforeRename = {});
    /// commit() for one of several files that take their names together: the caller forces the
    /// folder onto the storage device once they all have.
    void commitLeavingFolderUnsynced();

private:
    std::filesystem::path finalName_;
    platform::Folder folder_;
    std::filesystem::path temporaryName_;
    int fd_ = -1;
    int signalSlot_ = -1;
    std::uint64_t written_ = 0;
    std::uint64_t writebackFrom_ = 0;  // bytes before this are on their way to the disk
    bool flushed_ = false;
    bool syncFolder_ = true;
    bool committed_ = false;
};

}  // namespace tracksieve
