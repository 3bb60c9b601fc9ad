#pragma once

#include <filesystem>

// The few file operations the standard library cannot express.
namespace tracksieve::platform {

/// Creates `path` as a new, empty regular file. False when anything already exists under
/// that name (a dangling symbolic link included) or the file cannot be created.
bool createNewFile(const std::filesystem::path& path);

/// Forces the data written to the file at `path` onto the storage device.
bool syncFileToDisk(const std::filesystem::path& path);

/// Forces the entries of `directory` (a rename into it, for instance) onto the storage device.
bool syncDirectory(const std::filesystem::path& directory);

}  // namespace tracksieve::platform
