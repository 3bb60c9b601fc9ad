#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace tracksieve {

/// A file written by one call. Every write, the flush and the close are checked and a failure
/// throws std::runtime_error("Could not write output file"). Until `keep()` the file counts as
/// incomplete: the destructor removes it, but only when it is a regular file that this object
/// created or truncated. Devices, links and anything that was there before stay untouched.
class OutputFile {
public:
    enum class Creation {
        CreateOrTruncate,  // an existing file of that name is overwritten
        FreshFile,         // whatever is under that name is unlinked first, never written through
    };

    /// Throws std::runtime_error("Could not create output file") when the file cannot be opened.
    OutputFile(const std::filesystem::path& path, Creation creation);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const void* bytes, std::size_t size);
    void writeZeros(std::uint64_t count);
    /// Flushes and closes the file; with `syncToDisk` its data also reaches the storage device.
    void close(bool syncToDisk);
    /// The file is complete: it is no longer removed.
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    std::ofstream stream_;
    bool ownsFile_ = false;
    bool kept_ = false;
};

}  // namespace tracksieve
