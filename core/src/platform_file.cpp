#include "platform_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace tracksieve::platform {
namespace {

bool syncOpened(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return (::close(fd) == 0) && synced;
}

}  // namespace

bool createNewFile(const std::filesystem::path& path) {
    // O_EXCL refuses any existing entry, and with O_CREAT it never follows a symbolic link.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return ::close(fd) == 0;
}

bool syncFileToDisk(const std::filesystem::path& path) { return syncOpened(path, O_RDONLY); }

bool syncDirectory(const std::filesystem::path& directory) { return syncOpened(directory, O_RDONLY | O_DIRECTORY); }

}  // namespace tracksieve::platform
