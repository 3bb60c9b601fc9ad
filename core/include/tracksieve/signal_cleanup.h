#pragma once

namespace tracksieve {

/// For a program that slims files, called once at its start: SIGINT, SIGTERM and SIGHUP first
/// remove every output still being written under its hidden name, then end the process as the
/// signal would have (a shell shows the status 128 + the signal's number); SIGXFSZ (a file grown
/// past the size limit) no longer ends it, so the write fails and that file's slim with it.
/// Signals ignored when the program started stay ignored. Does nothing on Windows.
void removeUnfinishedOutputsOnSignals();

}  // namespace tracksieve
