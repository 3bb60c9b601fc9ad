#pragma once

#include <string>
#include <string_view>

namespace tracksieve::app {

/// `text` (UTF-8) without the Unicode white space and line breaks at either end.
std::string trimWhitespace(std::string_view text);

}  // namespace tracksieve::app
