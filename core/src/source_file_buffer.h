#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

namespace tracksieve {

/// A read of a source file that failed, or a file that ended before the bytes it held when it
/// was opened: never the end of its data.
class SourceReadError : public std::runtime_error {
public:
    /// `reason` is the system's error, or empty when the file only ended early.
    explicit SourceReadError(std::error_code reason);
    std::error_code reason() const { return reason_; }

    /// `message`, with the system's reason after it in parentheses when there is one.
    std::string describedAs(std::string_view message) const;

private:
    std::error_code reason_;
};

/// A seekable stream buffer over a file opened for reading. Only the end of the file ends it:
/// a short read is resumed, and a read that fails throws SourceReadError (an istream that
/// should let it through needs badbit among its exceptions).
class SourceFileBuffer final : public std::streambuf {
public:
    SourceFileBuffer() = default;
    ~SourceFileBuffer() override;
    SourceFileBuffer(const SourceFileBuffer&) = delete;
    SourceFileBuffer& operator=(const SourceFileBuffer&) = delete;

    bool open(const std::filesystem::path& path);
    bool isOpen() const { return fd_ >= 0; }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char_type* out, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode which) override;
    pos_type seekpos(pos_type position, std::ios::openmode which) override;

private:
    std::uint64_t position() const { return bufferStart_ + static_cast<std::uint64_t>(gptr() - eback()); }
    // Reads at the current position into `out`; 0 at the end of the file.
    std::size_t readAtPosition(char* out, std::size_t count);
    void emptyAt(std::uint64_t position);

    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
    std::uint64_t bufferStart_ = 0;  // the file offset of eback()
};

}  // namespace tracksieve
