// Where the station keeps things by default on this machine.
#pragma once

#include <string>

namespace orvanta {

// The user's documents folder (XDG_DOCUMENTS_DIR of user-dirs.dirs, else
// ~/Documents), created when missing.
std::string DocumentsFolder();

bool PathExists(const std::string& path);

}  // namespace orvanta
