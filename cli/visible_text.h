#pragma once

#include <string>
#include <string_view>

namespace tracksieve::cli {

/// `text` with every control character, and every byte that is not part of valid UTF-8, shown
/// as a backslash escape (\t, \n, \033, \302\233 ...) and each backslash doubled, as `ls -b`
/// shows file names: what a terminal would act on (colours, titles, cursor moves) is shown instead.
std::string visibleText(std::string_view text);

/// The text for a stream: escaped as above when the stream is a terminal, exact otherwise.
std::string textFor(bool streamIsTerminal, std::string_view text);

}  // namespace tracksieve::cli
