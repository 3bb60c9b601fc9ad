#pragma once

#include <optional>
#include <string>

#include "toolkit.h"

namespace tracksieve::app {

/// The choices the window keeps across launches: the last folder scanned and "Include
/// subfolders". The overwrite checkbox is never among them, so it always starts off.
void restoreRememberedSettings(Toolkit& toolkit);
void rememberScan(Toolkit& toolkit, const std::string& folder, bool includeSubfolders);
std::optional<std::string> rememberedFolder(const Toolkit& toolkit);

}  // namespace tracksieve::app
