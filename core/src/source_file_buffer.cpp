#include "source_file_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform_file.h"

namespace tracksieve {
namespace {

// Header and metadata reads are small and many; sample pieces bypass the buffer.
constexpr std::size_t kBufferBytes = 64 * 1024;

}  // namespace

SourceReadError::SourceReadError(std::error_code reason) : std::runtime_error("read error"), reason_(reason) {}

std::string SourceReadError::describedAs(std::string_view message) const {
    std::string text(message);
    return reason_ ? text + " (" + reason_.message() + ")" : text;
}

SourceFileBuffer::~SourceFileBuffer() {
    if (fd_ >= 0) platform::closeFile(fd_);
}

bool SourceFileBuffer::open(const std::filesystem::path& path) {
    if (fd_ >= 0) return false;
    fd_ = platform::openForReading(path);
    if (fd_ < 0) return false;
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
    emptyAt(0);
    return true;
}

void SourceFileBuffer::emptyAt(std::uint64_t position) {
    bufferStart_ = position;
    setg(buffer_.get(), buffer_.get(), buffer_.get());
}

std::size_t SourceFileBuffer::readAtPosition(char* out, std::size_t count) {
    const std::int64_t got = platform::readAt(fd_, out, count, position());
    if (got < 0) throw SourceReadError({errno, std::generic_category()});
    return static_cast<std::size_t>(got);
}

SourceFileBuffer::int_type SourceFileBuffer::underflow() {
    if (fd_ < 0) return traits_type::eof();
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    emptyAt(position());
    const std::size_t got = readAtPosition(buffer_.get(), kBufferBytes);
    if (got == 0) return traits_type::eof();
    setg(buffer_.get(), buffer_.get(), buffer_.get() + got);
    return traits_type::to_int_type(*gptr());
}

std::streamsize SourceFileBuffer::xsgetn(char_type* out, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count && fd_ >= 0) {
        const auto wanted = static_cast<std::size_t>(count - done);
        if (gptr() == egptr() && wanted >= kBufferBytes) {
            emptyAt(position());
            const std::size_t got = readAtPosition(out + done, wanted);
            if (got == 0) break;
            emptyAt(bufferStart_ + got);
            done += static_cast<std::streamsize>(got);
            continue;
        }
        if (gptr() == egptr() && traits_type::eq_int_type(underflow(), traits_type::eof())) break;
        const auto taken = std::min<std::size_t>(wanted, static_cast<std::size_t>(egptr() - gptr()));
        std::memcpy(out + done, gptr(), taken);
        gbump(static_cast<int>(taken));
        done += static_cast<std::streamsize>(taken);
    }
    return done;
}

SourceFileBuffer::pos_type SourceFileBuffer::seekoff(off_type offset, std::ios::seekdir direction,
                                                     std::ios::openmode which) {
    const pos_type failed(off_type(-1));
    if (fd_ < 0 || !(which & std::ios::in)) return failed;
    off_type base = 0;
    if (direction == std::ios::cur) {
        base = static_cast<off_type>(position());
    } else if (direction == std::ios::end) {
        base = platform::sizeOfOpenFile(fd_);
        if (base < 0) return failed;
    }
    const off_type target = base + offset;
    if (target < 0) return failed;
    const auto wanted = static_cast<std::uint64_t>(target);
    // Within what is buffered the bytes stay; the reader seeks back and forth over small spans.
    if (wanted >= bufferStart_ && wanted <= bufferStart_ + static_cast<std::uint64_t>(egptr() - eback())) {
        setg(eback(), eback() + (wanted - bufferStart_), egptr());
    } else {
        emptyAt(wanted);
    }
    return pos_type(target);
}

SourceFileBuffer::pos_type SourceFileBuffer::seekpos(pos_type position, std::ios::openmode which) {
    return seekoff(off_type(position), std::ios::beg, which);
}

}  // namespace tracksieve
