#pragma once

#include <string>
#include <string_view>

namespace tracksieve::cli {

/// Marks each byte of `bytes` that is not part of well-formed UTF-8 so that
/// `unmarkByteEscapes` can write it as a lone surrogate \udc80-\udcff once the JSON document is
/// dumped: the convention of Python's "surrogateescape", which `os.fsencode` reverses, so a
/// consumer gets a file name's exact bytes back.
std::string markInvalidBytes(std::string_view bytes);

/// Turns the marks in a dumped JSON document into \udcXX escapes; a NUL that was in the text
/// from the start comes out as the \u0000 it always was.
std::string unmarkByteEscapes(std::string_view json);

}  // namespace tracksieve::cli
