#include "remembered_settings.h"

namespace tracksieve::app {
namespace {

const std::string kLastFolder = "lastFolder";
const std::string kIncludeSubfolders = "includeSubfolders";

}  // namespace

void restoreRememberedSettings(Toolkit& toolkit) {
    if (const std::optional<std::string> folder = toolkit.setting(kLastFolder)) toolkit.setText(Control::PathField, *folder);
    toolkit.setChecked(Control::RecursiveCheck, toolkit.setting(kIncludeSubfolders) == "true");
}

void rememberScan(Toolkit& toolkit, const std::string& folder, bool includeSubfolders) {
    toolkit.setSetting(kLastFolder, folder);
    toolkit.setSetting(kIncludeSubfolders, includeSubfolders ? "true" : "false");
}

std::optional<std::string> rememberedFolder(const Toolkit& toolkit) { return toolkit.setting(kLastFolder); }

}  // namespace tracksieve::app
