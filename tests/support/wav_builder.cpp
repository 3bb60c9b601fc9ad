#include "wav_builder.h"

#include <atomic>
#include <bit>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tracksieve::testing {
namespace {

void appendLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string fmtBody(const Format& format) {
    const std::uint16_t bytesPerSample = format.bitsPerSample / 8;
    const std::uint16_t blockAlign =
        format.blockAlign.value_or(static_cast<std::uint16_t>(format.channels * bytesPerSample));
    std::string body;
    appendLe(body, format.extensible ? 0xFFFE : format.formatTag, 2);
    appendLe(body, format.channels, 2);
    appendLe(body, format.sampleRate, 4);
    appendLe(body, static_cast<std::uint64_t>(format.sampleRate) * blockAlign, 4);
    appendLe(body, blockAlign, 2);
    appendLe(body, format.bitsPerSample, 2);
    if (format.extensible) {
        appendLe(body, 22, 2);
        appendLe(body, format.bitsPerSample, 2);
        appendLe(body, format.channelMask, 4);
        appendLe(body, format.subFormat, 2);
        body.append("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    return body;
}

std::string bextBody(std::uint64_t timeReference, std::size_t size) {
    std::string body(338, '\0');  // TimeReference follows the description, originator and date fields
    appendLe(body, timeReference, 8);
    body.resize(size, '\0');
    return body;
}

std::string pcmFrames(int bitsPerSample, const std::vector<std::vector<std::int32_t>>& frames) {
    std::string out;
    for (const auto& frame : frames) {
        for (std::int32_t sample : frame) appendLe(out, static_cast<std::uint32_t>(sample), bitsPerSample / 8);
    }
    return out;
}

std::string floatFrames(const std::vector<std::vector<float>>& frames) {
    std::string out;
    for (const auto& frame : frames) {
        for (float sample : frame) appendLe(out, std::bit_cast<std::uint32_t>(sample), 4);
    }
    return out;
}

std::string constantFrames(int bitsPerSample, std::size_t channels, std::size_t frames, std::int32_t value) {
    std::string sample;
    appendLe(sample, static_cast<std::uint32_t>(value), bitsPerSample / 8);
    std::string out;
    out.reserve(sample.size() * channels * frames);
    for (std::size_t i = 0; i < channels * frames; ++i) out += sample;
    return out;
}

WavBuilder& WavBuilder::chunk(std::string_view id, std::string_view body) {
    chunkDeclaring(id, body, static_cast<std::uint32_t>(body.size()));
    if (body.size() % 2 == 1) body_.push_back('\0');
    return *this;
}

WavBuilder& WavBuilder::chunkDeclaring(std::string_view id, std::string_view body, std::uint32_t declaredSize) {
    if (id.size() != 4) throw std::invalid_argument("chunk id must be 4 bytes");
    body_.append(id);
    appendLe(body_, declaredSize, 4);
    body_.append(body);
    return *this;
}

WavBuilder& WavBuilder::fmt(const Format& format) { return chunk("fmt ", fmtBody(format)); }

WavBuilder& WavBuilder::data(std::string_view samples) { return chunk("data", samples); }

WavBuilder& WavBuilder::riffSizeField(std::uint32_t size) {
    riffSizeField_ = size;
    return *this;
}

WavBuilder& WavBuilder::signature(std::string_view riff, std::string_view wave) {
    riff_ = riff;
    wave_ = wave;
    return *this;
}

std::string WavBuilder::bytes() const {
    std::string out = riff_;
    appendLe(out, riffSizeField_.value_or(static_cast<std::uint32_t>(4 + body_.size())), 4);
    out += wave_;
    out += body_;
    return out;
}

std::string ds64Body(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t sampleCount,
                     const std::vector<std::pair<std::string, std::uint64_t>>& table) {
    std::string body;
    appendLe(body, riffSize, 8);
    appendLe(body, dataSize, 8);
    appendLe(body, sampleCount, 8);
    appendLe(body, table.size(), 4);
    for (const auto& [id, size] : table) {
        body += id;
        appendLe(body, size, 8);
    }
    return body;
}

std::string inWideForm(std::string_view riffBytes, std::string_view form) {
    std::uint64_t dataSize = 0;
    std::uint64_t blockAlign = 0;
    std::string chunks;
    for (const RiffChunk& chunk : parseChunks(riffBytes)) {
        chunks += chunk.id;
        appendLe(chunks, chunk.id == "data" ? 0xFFFFFFFFu : chunk.size, 4);
        chunks += chunk.body;
        if (chunk.body.size() % 2 == 1) chunks.push_back('\0');
        if (chunk.id == "data") dataSize = chunk.size;
        if (chunk.id == "fmt " && chunk.body.size() >= 14)
            blockAlign = static_cast<unsigned char>(chunk.body[12]) | (static_cast<unsigned char>(chunk.body[13]) << 8);
    }
    const std::string ds64 =
        ds64Body(4 + 8 + 28 + chunks.size(), dataSize, blockAlign == 0 ? 0 : dataSize / blockAlign);
    return WavBuilder().signature(form, "WAVE").riffSizeField(0xFFFFFFFFu).chunk("ds64", ds64).bytes() + chunks;
}

std::string wavWithLevels(const std::vector<std::int32_t>& levels) {
    return WavBuilder()
        .fmt({.channels = static_cast<std::uint16_t>(levels.size())})
        .data(pcmFrames(16, std::vector<std::vector<std::int32_t>>(4, levels)))
        .bytes();
}

TempDir::TempDir(const std::filesystem::path& parent) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    path_ = (parent.empty() ? std::filesystem::temp_directory_path() : parent) /
            ("tracksieve-test-" + std::to_string(entropy()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::filesystem::path& name, std::string_view bytes) const {
    const std::filesystem::path target = path_ / name;
    writeFile(target, bytes);
    return target;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    // Read in one go: the kill test compares files of tens of megabytes many times.
    std::string bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("could not write " + path.string());
}

std::vector<RiffChunk> parseChunks(std::string_view wavBytes) {
    std::vector<RiffChunk> chunks;
    std::size_t pos = 12;
    while (pos + 8 <= wavBytes.size()) {
        RiffChunk chunk;
        chunk.id = std::string(wavBytes.substr(pos, 4));
        for (int i = 0; i < 4; ++i) {
            chunk.size |= static_cast<std::uint32_t>(static_cast<unsigned char>(wavBytes[pos + 4 + i])) << (8 * i);
        }
        chunk.body = std::string(wavBytes.substr(pos + 8, chunk.size));
        pos += 8 + static_cast<std::size_t>(chunk.size) + chunk.size % 2;
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

}  // namespace tracksieve::testing
