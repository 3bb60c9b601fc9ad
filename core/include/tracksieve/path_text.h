#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tracksieve {

/// The path as UTF-8 text: the form names take in the core's records and messages and in what
/// the front ends print. Where the system's paths are bytes (Linux, macOS) they pass unchanged,
/// so a name that is not valid UTF-8 keeps its bytes; on Windows the UTF-16 name is converted.
std::string pathToUtf8(const std::filesystem::path& path);

/// The path named by UTF-8 text such as a command-line argument. Never goes through the
/// Windows ANSI code page, which cannot hold most names.
std::filesystem::path pathFromUtf8(std::string_view text);

/// How a front end names `file` found by scanning `scannedFolder`: its path relative to that
/// folder, so that takes of the same name in two subfolders can be told apart; the bare file
/// name when it lies directly in the folder, or when no folder is given. Folders are parted by
/// `/` on every system.
std::string shownName(const std::filesystem::path& file, const std::filesystem::path& scannedFolder);

}  // namespace tracksieve
