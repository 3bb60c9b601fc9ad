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

// A file that cannot be opened or read is kept, as is one whose test cannot finish (out of
// memory on its metadata, too many chunks), so that its analysis tells the user what went wrong instead of
// the file silently missing.
bool isPolyCandidate(const fs::path& path, int minChannels) {
    if (!hasWavExtension(path) || isHiddenOrNameless(path)) return false;
    try {
        WavFile wav;
        if (!openWav(path, wav)) return wav.error == kCouldNotOpenFile || wav.error == kTooManyChunks;
        return static_cast<int>(wav.fmt.channels) >= minChannels;
    } catch (const std::exception&) {
        return true;
    }
}

// A name whose entry cannot even be looked at (too long a path, say) is as unreadable as a file
// that cannot be opened; one that names nothing (a dangling link) is no file at all.
bool isCandidateEntry(const fs::directory_entry& entry, int minChannels) {
    std::error_code statusError;
    if (entry.is_regular_file(statusError)) return isPolyCandidate(entry.path(), minChannels);
    return statusError && statusError != std::errc::no_such_file_or_directory && hasWavExtension(entry.path()) &&
           !isHiddenOrNameless(entry.path());
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

// Unreadable corners of a tree must not cost the user the files found elsewhere in it, nor go
// unmentioned. Each folder is listed on its own, one at a time: one that cannot be opened or
// read to its end (locked, taken away during the walk, out of descriptors) costs only its own
// files and is named, and however deep the tree, the walk holds a single folder open. Links to
// folders are listed but not followed.
void walkFolders(const fs::path& dir, bool recursive, int minChannels, Discovery& found) {
    std::vector<fs::path> folders{dir};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            std::error_code statusError;
            if (it->is_directory(statusError) && !it->is_symlink(statusError)) {
                if (recursive) folders.push_back(it->path());
            } else if (isCandidateEntry(*it, minChannels)) {
                found.paths.push_back(it->path());
            }
        }
        if (error) found.unreadableFolders.push_back(folder);
    }
}

}  // namespace

Discovery discoverPolyFiles(const fs::path& dir, bool recursive, int minChannels) {
    Discovery found;
    if (!fs::is_directory(dir)) return found;
    walkFolders(dir, recursive, minChannels, found);
    std::sort(found.paths.begin(), found.paths.end(), fileNameLess);
    return found;
}

std::vector<fs::path> discoverPolyPaths(const fs::path& dir, bool recursive, int minChannels) {
    return discoverPolyFiles(dir, recursive, minChannels).paths;
}

}  // namespace tracksieve
