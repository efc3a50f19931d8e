// zavip-tool settings: first-start files, dumps and edits of settings files.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/settings_file.h"
#include "app/settings_keys.h"
#include "app/user_dirs.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

constexpr const char* kUsage =
    "settings defaults FILE | dump FILE | get FILE KEY | set FILE KEY=VALUE...";

AppContext& FreshApp(const std::string& file) {
  AppContext& app = TheApp();
  std::vector<char> cwd(4096);
  if (::getcwd(cwd.data(), cwd.size())) app.state.startupDir = cwd.data();
  SetDefaults(app);
  app.state.settingsFileName = file;
  app.uty.SetStartupDir(app.state.startupDir);
  return app;
}

// The loaded file; false (message printed) when it cannot be read.
bool LoadExisting(AppContext& app, const std::string& file) {
  if (LoadSettings(app)) return true;
  Fail("cannot read " + file);
  return false;
}

int32_t StoredVersion(AppContext& app) {
  int32_t version = kSettingsVersion;
  app.uty.GetInt(kVersionKey, &version);
  return version;
}

int Defaults(const std::string& file) {
  AppContext& app = FreshApp(file);
  ApplyMissingSettingsFile(app);
  return SaveSettings(app) ? 0 : Fail("cannot write " + file);
}

int Dump(const std::string& file) {
  AppContext& app = FreshApp(file);
  if (!LoadExisting(app, file)) return 1;
  std::printf("%s=%d\n", kVersionKey, StoredVersion(app));
  for (auto keys : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : keys) {
      std::printf("%s=%s\n", key.name, FormatValue(app, key).c_str());
    }
  }
  return 0;
}

int Get(const std::string& file, const std::string& name) {
  const SettingsKey* key = FindSettingsKey(name);
  const bool version = name == kVersionKey;
  if (!key && !version) return Fail("unknown key " + name);
  AppContext& app = FreshApp(file);
  if (!LoadExisting(app, file)) return 1;
  if (version) {
    std::printf("%d\n", StoredVersion(app));
  } else {
    std::printf("%s\n", FormatValue(app, *key).c_str());
  }
  return 0;
}

int Set(const std::string& file, const std::vector<std::string>& assignments) {
  AppContext& app = FreshApp(file);
  if (PathExists(app.uty.ResolvePath(file))) {
    if (!LoadExisting(app, file)) return 1;
  } else {
    ApplyMissingSettingsFile(app);
  }
  for (const std::string& assignment : assignments) {
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos) return Fail("expected KEY=VALUE: " + assignment);
    const std::string name = assignment.substr(0, eq);
    const SettingsKey* key = FindSettingsKey(name);
    if (!key) return Fail("unknown key " + name);
    std::string error;
    if (!ParseValue(app, *key, assignment.substr(eq + 1), &error)) return Fail(error);
  }
  if (!RecordsFit(BuildSaveRecords(app))) {
    return Fail("the values do not fit in a settings file; nothing written");
  }
  return SaveSettings(app) ? 0 : Fail("cannot write " + file);
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "defaults") return Defaults(args[1]);
  if (args.size() == 2 && args[0] == "dump") return Dump(args[1]);
  if (args.size() == 3 && args[0] == "get") return Get(args[1], args[2]);
  if (args.size() >= 3 && args[0] == "set") {
    return Set(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
  }
  return Fail(std::string("usage: zavip-tool ") + kUsage);
}

const CommandRegistrar registrar({"settings", kUsage, Run});

}  // namespace
}  // namespace orvanta::tool
