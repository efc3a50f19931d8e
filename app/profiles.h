// Profiles: other settings files loaded and saved under the settings file's
// rules while the settings file keeps its name.
#pragma once

#include <string>

#include "app/app_params.h"

namespace orvanta {

// One LoadSettings of `path` with settingsFileName swapped for it and put
// back after. The settings file itself is not written.
bool LoadProfile(AppContext& app, const std::string& path);
// One SaveSettings to `path` (a template when saveAsTemplate is set).
bool SaveProfile(AppContext& app, const std::string& path);
// Schedule profile change: loads `name` when it is not empty and differs
// from settingsFileName. Returns whether a load was attempted.
bool SwitchProfile(AppContext& app, const std::u16string& name);

}  // namespace orvanta
