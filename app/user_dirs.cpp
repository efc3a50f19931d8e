#include "app/user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace orvanta {
namespace {
std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs, with $HOME expanded.
std::string ConfiguredDocuments(const std::string& home) {
  std::string config;
  if (const char* c = std::getenv("XDG_CONFIG_HOME"); c && *c == '/') {
    config = c;
  } else {
    config = home + "/.config";
  }
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') {
      continue;
    }
    std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return std::string();
}

void MakeDirs(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '/') ::mkdir(path.substr(0, at).c_str(), 0755);
  }
}
}  // namespace

std::string DocumentsFolder() {
  const std::string home = HomeDir();
  std::string docs = ConfiguredDocuments(home);
  if (docs.empty()) docs = home + "/Documents";
  MakeDirs(docs);
  return docs;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace orvanta
