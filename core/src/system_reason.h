#pragma once

#include <string>
#include <system_error>

namespace tracksieve {

/// `message` with the system's reason for error number `error` after it in parentheses, as in
/// "Could not write output file (No space left on device)"; `message` alone for 0.
inline std::string withSystemReason(std::string message, int error) {
    if (error == 0) return message;
    return message + " (" + std::generic_category().message(error) + ")";
}

}  // namespace tracksieve
