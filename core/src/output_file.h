#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tracksieve {

/// One output file, written under a hidden temporary name beside its final place and renamed
/// into place only when complete and on disk, so that nothing incomplete ever carries a name a
/// user trusts. Every write is checked; a failure throws std::runtime_error("Could not write
/// output file"). Until `commit()` has succeeded the destructor removes the temporary file.
class OutputFile {
public:
    /// "." + stem + "_compressing" + extension, in the folder of `finalPath`.
    static std::filesystem::path temporaryPathFor(const std::filesystem::path& finalPath);

    /// Throws std::runtime_error("Could not create output file") when `finalPath` names anything
    /// but a regular file or a symbolic link (a folder, a device), or when the temporary file
    /// cannot be created. A file left under the temporary name by an interrupted run is replaced.
    explicit OutputFile(const std::filesystem::path& finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const void* bytes, std::size_t size);
    void writeZeros(std::uint64_t count);
    /// Gives the file the permission bits of `model` (the file it will replace), and its owner
    /// and group where the process may set them.
    void takeModeAndOwnerOf(const std::filesystem::path& model);
    /// Forces the file onto the storage device and closes it, so that a later commit() only
    /// renames: several files can then be made ready before any of them takes its name.
    void flushAndClose();
    /// Forces the file onto the storage device, closes it and renames it onto the final path,
    /// replacing whatever is there (a symbolic link itself, never its target). A failed rename
    /// throws std::filesystem::filesystem_error.
    void commit();

private:
    std::filesystem::path finalPath_;
    std::filesystem::path temporaryPath_;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    std::uint64_t writebackFrom_ = 0;  // bytes before this are on their way to the disk
    bool committed_ = false;
};

}  // namespace tracksieve
