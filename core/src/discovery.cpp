#include <algorithm>
#include <string>
#include <system_error>

#include "tracksieve/path_text.h"
#include "tracksieve/scan.h"
#include "wav_reader.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

bool hasWavExtension(const fs::path& path) {
    std::string extension = pathToUtf8(path.extension());
    // Only ASCII letters fold: a locale-aware tolower could change other bytes of a UTF-8 name.
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension == ".wav";
}

// Also drops the "._" companion files that some file systems write beside every file.
bool isHiddenOrNameless(const fs::path& path) {
    const std::string name = pathToUtf8(path.filename());
    return name.empty() || name.front() == '.';
}

bool isPolyCandidate(const fs::path& path, int minChannels) {
    if (!hasWavExtension(path) || isHiddenOrNameless(path)) return false;
    WavFile wav;
    if (!openWav(path, wav)) return false;
    return static_cast<int>(wav.channels) >= minChannels;
}

// std::string compares through char_traits<char>, which orders bytes as unsigned char: plain
// byte order, no case folding, no locale.
bool fileNameLess(const fs::path& a, const fs::path& b) {
    return pathToUtf8(a.filename()) < pathToUtf8(b.filename());
}

// Unreadable corners of a tree must not cost the user the files found elsewhere in it, so
// errors skip or end the walk instead of failing the scan.
void walkTree(const fs::path& dir, int minChannels, std::vector<fs::path>& found) {
    std::error_code error;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, error);
    for (const fs::recursive_directory_iterator end; it != end;) {
        if (error) {
            error.clear();
            it.increment(error);
            continue;
        }
        if (it->is_regular_file(error) && isPolyCandidate(it->path(), minChannels)) found.push_back(it->path());
        it.increment(error);
    }
}

// A folder that cannot be opened lists nothing; an error while reading the listing throws.
void listFolder(const fs::path& dir, int minChannels, std::vector<fs::path>& found) {
    std::error_code openError;
    for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, openError), end; it != end;
         ++it) {
        std::error_code statusError;
        if (it->is_regular_file(statusError) && isPolyCandidate(it->path(), minChannels)) found.push_back(it->path());
    }
}

}  // namespace

std::vector<fs::path> discoverPolyPaths(const fs::path& dir, bool recursive, int minChannels) {
    std::vector<fs::path> found;
    if (!fs::is_directory(dir)) return found;
    if (recursive) {
        walkTree(dir, minChannels, found);
    } else {
        listFolder(dir, minChannels, found);
    }
    std::sort(found.begin(), found.end(), fileNameLess);
    return found;
}

}  // namespace tracksieve
