#include "tracksieve/path_text.h"

namespace tracksieve {

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string shownName(const std::filesystem::path& file, const std::filesystem::path& scannedFolder) {
    if (scannedFolder.empty()) return pathToUtf8(file.filename());
    const std::filesystem::path relative = file.lexically_normal().lexically_relative(scannedFolder.lexically_normal());
    // A file outside the folder (never one the scan found) is named by itself.
    if (relative.empty() || *relative.begin() == "..") return pathToUtf8(file.filename());
    // One separator on every system, so that both front ends and both platforms print the same line.
    const std::u8string text = relative.generic_u8string();
    return {text.begin(), text.end()};
}

}  // namespace tracksieve
