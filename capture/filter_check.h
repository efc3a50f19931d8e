// The start-up check that the filter plugins are installed: each plugin file beside the
// program (or in the start-up directory), and loadable, or the element registered by
// another installation (whose copy then runs).
#pragma once

#include <string>
#include <vector>

namespace orvanta::capture {

struct FilterLibrary {
  const char* factory;  // element factory name
  const char* file;     // plugin file name
  bool required;        // a failed load ends the program
};

// What the check found for one plugin.
struct LibraryFinding {
  bool file_exists = false;
  std::string local_path;       // the file found (start-up directory first)
  std::string registered_path;  // the registry's plugin file for the factory; empty: none
};

enum class FilterCheckVerdict { kContinue, kNotInstalled };

// Go on when every file exists and none is registered elsewhere, or when one is registered
// elsewhere (that installation's copy runs).
FilterCheckVerdict DecideFilterCheck(const std::vector<LibraryFinding>& findings);

// Runs the check for the plugins this build ships. Reports and returns false when the
// program must end; a required plugin that cannot be loaded ends the process with -1.
bool CheckFilterPlugins(const std::string& startup_dir);

}  // namespace orvanta::capture
