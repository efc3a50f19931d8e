// zavip-tool devices run as a program over the test cameras (a device provider plugin found
// through GST_PLUGIN_PATH): the names the settings take and the formats each device offers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct ToolRun {
  int status;
  std::string output;
};

ToolRun RunTool(const std::string& args) {
  // A registry of its own: the test cameras never reach the user's plugin cache.
  const std::filesystem::path registry = std::filesystem::temp_directory_path() /
                                         ("orvanta-devices-" + std::to_string(getpid()) + ".bin");
  const std::string command = std::string("GST_PLUGIN_PATH='") + FAKE_CAMERA_DIR +
                              "' GST_REGISTRY='" + registry.string() + "' '" + ZAVIP_TOOL +
                              "' devices " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, "popen failed"};
  std::string output;
  char chunk[512];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  const int status = pclose(pipe);
  std::filesystem::remove(registry);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(ToolDevices, NamesAsTheSettingsTakeThemWithTheirFormats) {
  const ToolRun plain = RunTool("");
  ASSERT_EQ(plain.status, 0) << plain.output;
  // Two identical cameras stay apart by their numbers.
  EXPECT_NE(plain.output.find("video 1:Orvanta Test Camera\nvideo 2:Orvanta Test Camera\n"),
            std::string::npos)
      << plain.output;
  EXPECT_NE(plain.output.find(":Orvanta Test Microphone\n"), std::string::npos) << plain.output;
  EXPECT_EQ(plain.output.find("  YUY2"), std::string::npos) << "formats only when asked";

  const ToolRun formats = RunTool("--formats");
  ASSERT_EQ(formats.status, 0) << formats.output;
  const std::string camera =
      "video 1:Orvanta Test Camera\n"
      "  YUY2 640x480 fps 30 15\n"
      "  YUY2 1280x720 fps 10\n"
      "  I420 1920x1080 fps 30 25\n";
  EXPECT_NE(formats.output.find(camera), std::string::npos) << formats.output;
  EXPECT_NE(formats.output.find(":Orvanta Test Microphone\n  S16LE 48000 Hz 2 ch\n"),
            std::string::npos)
      << formats.output;
}

TEST(ToolDevices, UnknownOptionIsRefused) {
  const ToolRun run = RunTool("--all yes");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("unknown option --all"), std::string::npos) << run.output;
}

}  // namespace
