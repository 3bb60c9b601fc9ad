#pragma once

namespace tracksieve::app {

/// The freedesktop.org name of the program: its desktop entry, icon and AppStream id.
inline constexpr const char* kAppId = "io.github.tracksieve.Tracksieve";

/// Names the application as docks, task bars and the settings store know it, and gives its
/// windows the program's icon. Call once the application object exists.
void setUpApplicationIdentity();

}  // namespace tracksieve::app
