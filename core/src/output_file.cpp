#include "output_file.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <system_error>

#include "platform_file.h"

namespace tracksieve {
namespace {

[[noreturn]] void failCreate() { throw std::runtime_error("Could not create output file"); }
[[noreturn]] void failWrite() { throw std::runtime_error("Could not write output file"); }

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path, Creation creation) : path_(path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status entry = fs::symlink_status(path_, ec);
    if (creation == Creation::FreshFile) {
        if (fs::exists(entry) && !fs::is_directory(entry)) fs::remove(path_, ec);
        if (!platform::createNewFile(path_)) failCreate();
        ownsFile_ = true;
    } else {
        ownsFile_ = !fs::exists(entry) || fs::is_regular_file(entry);
    }
    stream_.open(path_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!stream_.is_open()) {
        // The destructor does not run for a failed constructor: undo our own creation here.
        if (creation == Creation::FreshFile) fs::remove(path_, ec);
        failCreate();
    }
}

OutputFile::~OutputFile() {
    if (kept_ || !ownsFile_) return;
    if (stream_.is_open()) stream_.close();
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path_, ec))) {
        std::filesystem::remove(path_, ec);
    }
}

void OutputFile::write(const void* bytes, std::size_t size) {
    stream_.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!stream_) failWrite();
}

void OutputFile::writeZeros(std::uint64_t count) {
    static constexpr std::array<char, 4096> kZeros{};
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
        write(kZeros.data(), n);
        count -= n;
    }
}

void OutputFile::close(bool syncToDisk) {
    stream_.flush();
    if (!stream_) failWrite();
    stream_.close();
    if (!stream_) failWrite();
    if (syncToDisk && !platform::syncFileToDisk(path_)) failWrite();
}

}  // namespace tracksieve
