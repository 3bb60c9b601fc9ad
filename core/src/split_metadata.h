#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What tells the mono files of one take apart: the recorder's track numbers and the iXML
// FILE_SET that names the files as one family.
namespace tracksieve {

/// The recorder's number of each of `channels` channels, as `readIxmlTrackNumbers` reads it;
/// when the numbers are not distinct, and so cannot name one file each, every channel's
/// 1-based position.
std::vector<std::int32_t> recorderTrackNumbers(std::string_view ixmlText, std::size_t channels);

/// The FAMILY_UID of the document's FILE_SET, without surrounding blanks; empty when it has none.
std::string fileSetFamilyUid(std::string_view ixmlText);

/// A new family identifier: 32 random upper-case hexadecimal digits.
std::string newFamilyUid();

/// `ixml` with a FILE_SET holding these values: an existing FILE_SET keeps its other children
/// and gets the missing ones; without one, a new one goes just before the TRACK_LIST, which
/// the document must have.
std::string withFileSet(std::string_view ixml, int totalFiles, std::int32_t index, std::string_view familyUid);

}  // namespace tracksieve
