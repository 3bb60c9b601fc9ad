#include "output_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include "system_reason.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using NameText = fs::path::string_type;

constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
// The longest file name most file systems take: 255 bytes (UTF-16 units on Windows).
constexpr std::size_t kNameLimit = 255;
constexpr std::size_t kTokenLength = 8;
constexpr int kCreateAttempts = 16;

[[noreturn]] void failCreate(int error) {
    throw std::runtime_error(withSystemReason("Could not create output file", error));
}
[[noreturn]] void failWrite(int error) {
    throw std::runtime_error(withSystemReason("Could not write output file", error));
}

NameText nativeText(std::string_view ascii) { return fs::path(std::string(ascii)).native(); }

// A cut inside a character's encoding would leave a name that is not text.
template <typename Unit>
bool continuesCharacter(Unit unit) {
    if constexpr (sizeof(Unit) == 1) {
        return (static_cast<unsigned char>(unit) & 0xC0) == 0x80;  // UTF-8
    } else {
        return unit >= 0xDC00 && unit <= 0xDFFF;  // UTF-16: the second half of a pair
    }
}

void cutTo(NameText& text, std::size_t size) {
    if (text.size() <= size) return;
    while (size > 0 && continuesCharacter(text[size])) --size;
    text.resize(size);
}

// The parts a temporary name for `finalName` starts and ends with.
struct TemporaryNameParts {
    NameText start;  // "." + stem + "_compressing"
    NameText end;    // the extension
};

TemporaryNameParts temporaryNamePartsFor(const fs::path& finalName) {
    const NameText marker = nativeText("_compressing");
    NameText stem = finalName.stem().native();
    NameText extension = finalName.extension().native();
    const std::size_t room = kNameLimit - (1 + marker.size() + 1 + kTokenLength);
    cutTo(extension, room);
    cutTo(stem, room - extension.size());
    return {nativeText(".") + stem + marker, extension};
}

std::string randomToken() {
    thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token(kTokenLength, '0');
    std::uniform_int_distribution<int> digit(0, 15);
    for (char& c : token) c = kDigits[digit(generator)];
    return token;
}

bool isToken(const NameText& text) {
    return text.size() == 1 + kTokenLength && text[0] == '-' && std::all_of(text.begin() + 1, text.end(), [](auto c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

fs::path OutputFile::temporaryNameFor(const fs::path& finalName, std::string_view token) {
    const TemporaryNameParts parts = temporaryNamePartsFor(finalName);
    return parts.start + nativeText("-") + nativeText(token) + parts.end;
}

bool OutputFile::isTemporaryNameFor(const fs::path& name, const fs::path& finalName) {
    const TemporaryNameParts parts = temporaryNamePartsFor(finalName);
    const NameText& text = name.native();
    if (text.size() < parts.start.size() + parts.end.size() || !text.starts_with(parts.start) ||
        !text.ends_with(parts.end)) {
        return false;
    }
    const NameText between = text.substr(parts.start.size(), text.size() - parts.start.size() - parts.end.size());
    return between.empty() || isToken(between);
}

OutputFile::OutputFile(const fs::path& finalPath, unsigned permissions)
    : finalName_(finalPath.filename()), folder_(finalPath.parent_path()) {
    if (!folder_.isOpen()) failCreate(errno);
    if (finalName_.native().size() > kNameLimit) failCreate(ENAMETOOLONG);
    std::error_code ec;
    const fs::file_status target = fs::symlink_status(finalPath, ec);
    if (fs::is_directory(target)) failCreate(EISDIR);
    if (fs::exists(target) && !fs::is_regular_file(target) && !fs::is_symlink(target)) failCreate(0);

    const fs::path folderPath = finalPath.parent_path().empty() ? fs::path(".") : finalPath.parent_path();
    for (fs::directory_iterator entry(folderPath, ec), end; !ec && entry != end; entry.increment(ec)) {
        const fs::path name = entry->path().filename();
        if (isTemporaryNameFor(name, finalName_)) folder_.removeIfAbandoned(name);
    }

    for (int attempt = 1; fd_ < 0; ++attempt) {
        temporaryName_ = temporaryNameFor(finalName_, randomToken());
        fd_ = folder_.createLockedFile(temporaryName_, permissions);
        if (fd_ < 0 && (errno != EEXIST || attempt == kCreateAttempts)) failCreate(errno);
    }
    signalSlot_ = folder_.removeOnSignal(temporaryName_);
}

OutputFile::~OutputFile() {
    if (!committed_) {
        if (fd_ >= 0) {
            folder_.discardOpenFile(temporaryName_, fd_);
        } else {
            folder_.removeIfAbandoned(temporaryName_);
        }
    }
    platform::forgetOnSignal(signalSlot_);
}

void OutputFile::write(const void* bytes, std::size_t size) {
    if (!platform::writeAll(fd_, bytes, size)) failWrite(errno);
    written_ += size;
    // The disk works while the copy goes on, so the flush before the rename finds little left.
    if (written_ - writebackFrom_ >= kWritebackStep) {
        platform::startWriteback(fd_, writebackFrom_, written_ - writebackFrom_);
        writebackFrom_ = written_;
    }
}

void OutputFile::writeZeros(std::uint64_t count) {
    static constexpr std::array<char, 4096> kZeros{};
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
        write(kZeros.data(), n);
        count -= n;
    }
}

void OutputFile::takeModeAndOwnerOf(const fs::path& model) {
    if (!platform::copyModeAndOwner(fd_, model)) failWrite(errno);
}

void OutputFile::flushAndClose() {
    if (!platform::syncFile(fd_)) failWrite(errno);
    // A second descriptor keeps the file open and locked, while the close of the first reports
    // what a network file system could not write.
    const int holder = platform::duplicateDescriptor(fd_);
    if (holder < 0) failWrite(errno);
    const bool closed = platform::closeFile(fd_);
    const int closeError = errno;
    fd_ = holder;
    if (!closed) failWrite(closeError);
    errno = 0;
    if (!folder_.namesOpenFile(temporaryName_, fd_)) failWrite(errno);
    flushed_ = true;
}

void OutputFile::commit(const std::function<void()>& beforeRename) {
    if (!flushed_) flushAndClose();
    if (beforeRename) beforeRename();
    if (const std::error_code error = folder_.moveOpenFileOnto(fd_, temporaryName_, finalName_)) {
        std::string reason = error.message();
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
            reason.pop_back();
        throw std::runtime_error("Could not move the output into place (" + reason + ")");
    }
    committed_ = true;
    // Best effort: the rename has happened, whatever the folder's sync reports.
    if (syncFolder_) folder_.sync();
}

void OutputFile::commitLeavingFolderUnsynced() {
    syncFolder_ = false;
    commit();
}

}  // namespace tracksieve
