#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Builds WAV files byte by byte in memory, including the broken ones real cards hold.
namespace tracksieve::testing {

struct Format {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 2;
    std::uint32_t sampleRate = 48000;
    std::uint16_t bitsPerSample = 16;
    std::optional<std::uint16_t> blockAlign{};  // default: channels × bytes per sample
    bool extensible = false;                    // 40-byte body, tag 0xFFFE, sub-format below
    std::uint16_t subFormat = 1;
    std::uint32_t channelMask = 0;
};

/// A plain (16-byte) or extensible (40-byte) `fmt ` body.
std::string fmtBody(const Format& format);
/// A `bext` body of `size` bytes whose TimeReference is `timeReference`.
std::string bextBody(std::uint64_t timeReference, std::size_t size = 602);
/// Interleaved little-endian integer samples; frames[f][c] is channel c of frame f.
std::string pcmFrames(int bitsPerSample, const std::vector<std::vector<std::int32_t>>& frames);
/// Interleaved little-endian 32-bit float samples.
std::string floatFrames(const std::vector<std::vector<float>>& frames);
/// `frames` frames in which every channel holds `value`.
std::string constantFrames(int bitsPerSample, std::size_t channels, std::size_t frames, std::int32_t value);
/// A `ds64` body: the 64-bit RIFF and `data` sizes, the sample count and a table of other
/// chunks' sizes.
std::string ds64Body(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t sampleCount,
                     const std::vector<std::pair<std::string, std::uint64_t>>& table = {});
/// The plain RIFF file `riffBytes` in the 64-bit form `form` ("RF64" or "BW64"): the header's
/// and the `data` chunk's size fields defer to a `ds64` chunk placed first.
std::string inWideForm(std::string_view riffBytes, std::string_view form);
/// A 16-bit WAV file of four frames at 48 kHz in which channel c holds the constant levels[c].
std::string wavWithLevels(const std::vector<std::int32_t>& levels);

class WavBuilder {
public:
    /// A chunk with its true size and, when odd, its pad byte.
    WavBuilder& chunk(std::string_view id, std::string_view body);
    /// A chunk whose header claims `declaredSize` whatever the body holds; no pad byte.
    WavBuilder& chunkDeclaring(std::string_view id, std::string_view body, std::uint32_t declaredSize);
    WavBuilder& fmt(const Format& format);
    WavBuilder& data(std::string_view samples);
    /// Replaces "RIFF" and "WAVE" in the header.
    WavBuilder& signature(std::string_view riff, std::string_view wave);
    /// Makes the header's size field claim `size` whatever follows.
    WavBuilder& riffSizeField(std::uint32_t size);

    /// The whole file: header (RIFF size counts what follows) and the chunks in order.
    std::string bytes() const;

private:
    std::string riff_ = "RIFF";
    std::string wave_ = "WAVE";
    std::optional<std::uint32_t> riffSizeField_;
    std::string body_;
};

/// A fresh directory below `parent` (by default the system temporary folder), removed with
/// everything in it.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& parent = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::filesystem::path& name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
/// Writes `bytes` to `path`, creating its folders; throws when that fails.
void writeFile(const std::filesystem::path& path, std::string_view bytes);

/// One chunk of a RIFF file as it lies on disk: its declared size and the body bytes present.
struct RiffChunk {
    std::string id;
    std::uint32_t size = 0;
    std::string body;
};

/// The chunks after the 12-byte RIFF header, in file order, honouring pad bytes.
std::vector<RiffChunk> parseChunks(std::string_view wavBytes);

}  // namespace tracksieve::testing
