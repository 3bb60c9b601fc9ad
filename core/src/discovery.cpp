#include <algorithm>
#include <exception>
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
    // A file the test cannot finish (out of memory on its metadata, say) is kept, so that
    // its analysis tells the user what went wrong instead of the file silently missing.
    try {
        WavFile wav;
        if (!openWav(path, wav)) return false;
        return static_cast<int>(wav.channels) >= minChannels;
    } catch (const std::exception&) {
        return true;
    }
}

// std::string compares through char_traits<char>, which orders bytes as unsigned char: plain
// byte order, no case folding, no locale. Takes of the same name in several folders (recorders
// restart their numbers) follow their folders' order, so every scan lists them alike.
bool fileNameLess(const fs::path& a, const fs::path& b) {
    const std::string nameA = pathToUtf8(a.filename());
    const std::string nameB = pathToUtf8(b.filename());
    if (nameA != nameB) return nameA < nameB;
    return pathToUtf8(a) < pathToUtf8(b);
}

// Unreadable corners of a tree must not cost the user the files found elsewhere in it. Each
// folder is listed on its own, one at a time: one that cannot be opened or read to its end
// (locked, taken away during the walk) costs only its own files, and however deep the tree,
// the walk holds a single folder open. Links to folders are listed but not followed.
void walkTree(const fs::path& dir, int minChannels, std::vector<fs::path>& found) {
    std::vector<fs::path> folders{dir};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code error;
        for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            std::error_code statusError;
            if (it->is_directory(statusError) && !it->is_symlink(statusError)) {
                folders.push_back(it->path());
            } else if (it->is_regular_file(statusError) && isPolyCandidate(it->path(), minChannels)) {
                found.push_back(it->path());
            }
        }
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
