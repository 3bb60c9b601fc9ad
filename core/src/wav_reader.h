#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>

#include "riff_reading.h"
#include "source_file_buffer.h"

namespace tracksieve {

/// An open WAV file and what its chunk walk found. Owns the file it opened by path; neither
/// copied nor moved, since `stream` may point at its own `file`.
struct WavFile {
    SourceFileBuffer fileBuffer;
    std::istream file{&fileBuffer};
    std::istream* stream = nullptr;  // the bytes being read: `file` or the caller's stream
    FmtFields fmt;
    std::int64_t dataOffset = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t dataBytesPresent = 0;  // `dataSize`, or less where the file ends early
    bool lengthTakenFromFile = false;    // the header's `data` size was unfinalised or wrapped
    std::string ixmlText;
    std::string bextDescription;  // the bext Description field up to its first NUL
    std::uint64_t timeReference = 0;
    bool hasTimeReference = false;
    double timecodeRate = 24.0;
    std::string error;

    WavFile() = default;
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;
};

/// Opens `path` and walks its chunks. Returns false with one message in `wav.error` when the
/// file is not a usable PCM or IEEE-float WAV file. Reads no sample data. A read that fails,
/// here or later through `wav.stream`, throws SourceReadError.
bool openWav(const std::filesystem::path& path, WavFile& wav);

/// The same over a whole file's bytes in a seekable stream, which must outlive `wav`.
bool openWav(std::istream& source, WavFile& wav);

}  // namespace tracksieve
