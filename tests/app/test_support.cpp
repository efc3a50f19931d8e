#include "tests/app/test_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orvanta::testing {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Record(const std::string& key, const std::string& value) {
  std::string r(16, '\0');
  std::memcpy(r.data(), key.data(), std::min<size_t>(key.size(), 15));
  const size_t length = (value.size() + 3) & ~size_t{3};
  r += IntValue(static_cast<int32_t>(length));
  r += value;
  r.append(length - value.size(), '\0');
  return r;
}

std::string IntValue(int32_t v) {
  std::string b(4, '\0');
  std::memcpy(b.data(), &v, 4);
  return b;
}

std::string DoubleValue(double v) {
  std::string b(8, '\0');
  std::memcpy(b.data(), &v, 8);
  return b;
}

std::string Utf16Value(const std::u16string& text) {
  std::string b;
  for (char16_t u : text) {
    b.push_back(static_cast<char>(u & 0xFF));
    b.push_back(static_cast<char>(u >> 8));
  }
  b.append(2, '\0');
  return b;
}

void SettingsTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = std::filesystem::temp_directory_path() /
         (std::string("orvanta-settings-") + info->test_suite_name() + "-" + info->name() + "-" +
          std::to_string(::getpid()));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  if (const char* home = std::getenv("HOME")) saved_home_ = home;
  ::setenv("HOME", dir_.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  TheApp().state.startupDir = dir_.string();
  saved_handler_ = SetMessageHandler(
      MessageHandler{[this](const std::string& text) {
                       reports_.push_back(text);
                       return 1;
                     },
                     [this](const std::string& text) { fatals_.push_back(text); }});
  saved_exit_ = SetFatalExit([](int code) { throw FatalExitCalled{code}; });
}

void SettingsTest::TearDown() {
  SetMessageHandler(saved_handler_);
  SetFatalExit(saved_exit_);
  ::setenv("HOME", saved_home_.c_str(), 1);
  TheApp().state.graph_error = 0;
  std::filesystem::remove_all(dir_);
}

std::unique_ptr<AppContext> SettingsTest::NewApp() {
  auto app = std::make_unique<AppContext>();
  SetDefaults(*app);
  app->state.startupDir = dir_.string();
  return app;
}

std::unique_ptr<AppContext> SettingsTest::LoadBytes(const std::string& bytes,
                                                    const std::string& name) {
  WriteBytes(dir_ / name, bytes);
  auto app = NewApp();
  app->state.settingsFileName = name;
  LoadSettings(*app);
  return app;
}

}  // namespace orvanta::testing
