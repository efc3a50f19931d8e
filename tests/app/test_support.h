// Shared fixture of the settings tests: a context of its own, a scratch
// directory as start-up directory and home, and messages caught instead of
// shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"

namespace orvanta::testing {

// Thrown by the test's FatalExit, so a fatal path returns to the test.
struct FatalExitCalled {
  int code;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// One settings record as the file holds it.
std::string Record(const std::string& key, const std::string& value);
std::string IntValue(int32_t v);
std::string DoubleValue(double v);
std::string Utf16Value(const std::u16string& text);  // with terminator

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A context after SetDefaults, resolving names in dir_.
  std::unique_ptr<AppContext> NewApp();
  // Writes bytes to dir_/name and loads them into a fresh context.
  std::unique_ptr<AppContext> LoadBytes(const std::string& bytes,
                                        const std::string& name = "test.zvi");

  std::filesystem::path dir_;
  std::vector<std::string> reports_;
  std::vector<std::string> fatals_;

 private:
  MessageHandler saved_handler_;
  FatalExit saved_exit_;
  std::string saved_home_;
};

}  // namespace orvanta::testing
