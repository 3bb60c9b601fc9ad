#pragma once

#include <cstddef>
#include <functional>

// Checks that need a process of their own: limits set there would bind the whole test run.
// Each child answers through its exit status.
namespace tracksieve::testing {

/// Permissions do not bind the superuser, so as root `check` runs in a child process that has
/// given up its privileges for those of "nobody".
bool holdsUnprivileged(const std::function<bool()>& check);

/// Runs `check` in a child process whose address space may grow by at most `headroomBytes`
/// and which may use at most 60 s of processor time, so that a check that allocates without
/// bound fails (or a quadratic one is stopped) instead of passing slowly.
bool holdsWithinMemory(std::size_t headroomBytes, const std::function<bool()>& check);

/// Runs `check` in a child process that may hold at most `count` files open besides its
/// standard streams.
bool holdsWithOpenFiles(int count, const std::function<bool()>& check);

/// Address-space limits mean nothing under AddressSanitizer, which reserves terabytes up front.
bool addressSpaceIsLimitable();

}  // namespace tracksieve::testing
