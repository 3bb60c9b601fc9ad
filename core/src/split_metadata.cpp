#include "split_metadata.h"

#include <optional>
#include <random>
#include <set>

#include "element_search.h"
#include "recorder_metadata.h"

namespace tracksieve {
namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string element(std::string_view tag, std::string_view value) {
    std::string text = "<";
    text.append(tag).append(">").append(value).append("</").append(tag).append(">");
    return text;
}

// Sets the text of the child `tag` of the FILE_SET element `fileSet`, adding the child before
// the closing tag when it has none.
void setChild(std::string& fileSet, std::string_view tag, std::string_view value) {
    if (const std::optional<TextElement> child = findTextElement(fileSet, tag)) {
        const auto at = static_cast<std::size_t>(child->content.data() - fileSet.data());
        fileSet.replace(at, child->content.size(), value);
        return;
    }
    std::string child = "  ";
    child.append(element(tag, value)).append("\n");
    fileSet.insert(findClosingTag(fileSet, "FILE_SET", 0), child);
}

}  // namespace

std::vector<std::int32_t> recorderTrackNumbers(std::string_view ixmlText, std::size_t channels) {
    const std::vector<int> numbers = readIxmlTrackNumbers(ixmlText, channels);
    if (std::set<int>(numbers.begin(), numbers.end()).size() == channels) return {numbers.begin(), numbers.end()};
    std::vector<std::int32_t> positions(channels);
    for (std::size_t i = 0; i < channels; ++i) positions[i] = static_cast<std::int32_t>(i + 1);
    return positions;
}

std::string fileSetFamilyUid(std::string_view ixmlText) {
    const std::optional<std::string_view> fileSet = findElement(ixmlText, "FILE_SET");
    if (!fileSet) return {};
    const std::optional<TextElement> uid = findTextElement(*fileSet, "FAMILY_UID");
    return uid ? std::string(trimmed(uid->content)) : std::string();
}

std::string newFamilyUid() {
    std::random_device entropy;
    std::mt19937_64 generator((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
    constexpr std::string_view digits = "0123456789ABCDEF";
    std::string uid;
    for (int i = 0; i < 32; ++i) uid += digits[generator() % 16];
    return uid;
}

std::string withFileSet(std::string_view ixml, int totalFiles, std::int32_t index, std::string_view familyUid) {
    std::size_t at = 0;
    std::size_t replaced = 0;
    std::string fileSet;
    if (const std::optional<std::string_view> existing = findElement(ixml, "FILE_SET")) {
        at = static_cast<std::size_t>(existing->data() - ixml.data());
        replaced = existing->size();
        fileSet = *existing;
    } else {
        at = findOpeningTag(ixml, "TRACK_LIST");
        fileSet = "<FILE_SET>\n</FILE_SET>";
    }
    setChild(fileSet, "TOTAL_FILES", std::to_string(totalFiles));
    setChild(fileSet, "FAMILY_UID", familyUid);
    setChild(fileSet, "FILE_SET_INDEX", std::to_string(index));
    if (replaced == 0) fileSet += "\n";
    std::string result(ixml.substr(0, at));
    result += fileSet;
    result += ixml.substr(at + replaced);
    return result;
}

}  // namespace tracksieve
