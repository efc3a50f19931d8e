// zavip-tool mask, run as a program: an automatic mask made from a clip's peak-hold JPEG is
// loaded by a detection run, which then has no hit inside it; bad input fails with a message
// and writes nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "products/area_mask.h"
#include "products/bmp_file.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string output;
};

std::string Quote(const std::string& s) {
  std::string q(1, '\'');
  for (char c : s) {
    if (c == '\'')
      q.append("'\\''");
    else
      q.push_back(c);
  }
  q.push_back('\'');
  return q;
}

// The tool with `dir` as its working (start-up) directory.
ToolRun Tool(const fs::path& dir, const std::vector<std::string>& args) {
  std::string command = "cd ";
  command.append(Quote(dir.string())).append(" && ").append(Quote(ZAVIP_TOOL));
  for (const std::string& a : args) command.append(" ").append(Quote(a));
  command.append(" 2>&1");
  ToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) run.output.append(chunk, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<fs::path> Files(const fs::path& dir, const std::string& suffix) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.path().string().ends_with(suffix)) found.push_back(entry.path());
  return found;
}

// Hits (red bytes of the detection map) on pixels the mask leaves out. 255 marks a tracked
// object's centre, which may fall between its hit pixels, so it is no hit of its own.
int HitsInsideMask(const Image24& mask, const fs::path& map_path) {
  auto map = ReadBmp24(map_path.string());
  EXPECT_TRUE(map.ok()) << map.message();
  if (!map.ok() || map->bgr.size() != mask.bgr.size()) return -1;
  int hits = 0;
  for (size_t i = 0; i < mask.bgr.size(); i += 3)
    hits += IsExcludedPixel(mask.bgr.data() + i) && map->bgr[i + 2] != 0 && map->bgr[i + 2] != 255;
  return hits;
}

class MaskToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvanta-mask-tool-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(MaskToolTest, AutoMaskFromAPeakHoldStillKeepsDetectionOutOfIt) {
  ToolRun sim = Tool(dir_, {"simulate", "--out", "sky.avi", "--width", "480", "--height", "270",
                            "--fps", "25", "--seconds", "12", "--seed", "7", "--format", "YUY2"});
  ASSERT_EQ(sim.status, 0) << sim.output;
  ToolRun plain = Tool(
      dir_, {"detect", "--source", "sky.avi", "--out", "plain", "--start", "2024-01-02T02:10:00"});
  ASSERT_EQ(plain.status, 0) << plain.output;
  // Four meteors, two clips: the mask is made from the first clip's still.
  std::vector<fs::path> stills = Files(dir_ / "plain", "P.jpg");
  ASSERT_EQ(stills.size(), 2u) << plain.output;
  std::sort(stills.begin(), stills.end());

  // The meteor's trail is bright in the peak-hold still: the dark sky along it falls below
  // 90 % of its neighbours and is masked.
  ToolRun made = Tool(dir_, {"mask", "auto", "--image", stills.front().string(), "--lev", "20",
                             "--ratio", "90", "--brush", "L", "--out", "DA480-270.bmp"});
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_TRUE(made.output.starts_with("mask DA480-270.bmp 480x270 masked=")) << made.output;
  auto mask = ReadBmp24((dir_ / "DA480-270.bmp").string());
  ASSERT_TRUE(mask.ok()) << mask.message();
  int unmasked_hits_inside = 0;
  for (const fs::path& map : Files(dir_ / "plain", "M.bmp"))
    unmasked_hits_inside += HitsInsideMask(*mask, map);
  ASSERT_GT(unmasked_hits_inside, 0) << "the mask covers none of the meteor's hits";

  ASSERT_EQ(Tool(dir_, {"settings", "defaults", "S.zvi"}).status, 0);
  ASSERT_EQ(Tool(dir_, {"settings", "set", "S.zvi", "AP.dareafname=DA480-270.bmp"}).status, 0);
  ToolRun masked = Tool(dir_, {"detect", "--source", "sky.avi", "--out", "masked", "--settings",
                               "S.zvi", "--start", "2024-01-02T02:10:00"});
  ASSERT_EQ(masked.status, 0) << masked.output;
  EXPECT_EQ(masked.output.find("UM02"), std::string::npos) << masked.output;
  const std::vector<fs::path> maps = Files(dir_ / "masked", "M.bmp");
  ASSERT_FALSE(maps.empty()) << "the other meteor is no longer detected:\n" << masked.output;
  for (const fs::path& map : maps) {
    SCOPED_TRACE(map.string());
    EXPECT_EQ(HitsInsideMask(*mask, map), 0);
  }
}

TEST_F(MaskToolTest, BadInputFailsWithAMessageAndWritesNothing) {
  Image24 frame;
  frame.Resize(64, 32);
  ASSERT_TRUE(WriteBmp24((dir_ / "still.bmp").string(), frame).ok());
  ASSERT_TRUE(WriteBmp24((dir_ / "1M.bmp").string(), frame).ok());
  Image24 tiny;
  tiny.Resize(8, 8);
  ASSERT_TRUE(WriteBmp24((dir_ / "tiny.bmp").string(), tiny).ok());
  Image24 other;
  other.Resize(48, 32);
  ASSERT_TRUE(WriteBmp24((dir_ / "2M.bmp").string(), other).ok());
  {
    FILE* f = std::fopen((dir_ / "text.jpg").c_str(), "w");
    std::fputs("hello", f);
    std::fclose(f);
  }

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<std::string> auto_ok = {"mask",  "auto", "--image", "still.bmp",
                                            "--lev", "20",   "--ratio", "90"};
  auto with = [](std::vector<std::string> a, std::vector<std::string> more) {
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const Case cases[] = {
      {{"mask"}, "mask needs auto or hot"},
      {{"mask", "auto", "--image", "gone.jpg", "--lev", "20", "--ratio", "90", "--out", "o.bmp"},
       "cannot read gone.jpg"},
      {{"mask", "auto", "--image", "text.jpg", "--lev", "20", "--ratio", "90", "--out", "o.bmp"},
       "neither a BMP nor a JPEG"},
      {{"mask", "auto", "--image", "tiny.bmp", "--lev", "20", "--ratio", "90", "--out", "o.bmp"},
       "tiny.bmp: "},
      {with(auto_ok, {"--out", "o.bmp", "--brush", "XL"}), "--brush: S, M, L or LL, not XL"},
      {{"mask", "auto", "--image", "still.bmp", "--lev", "256", "--ratio", "90", "--out", "o.bmp"},
       "--lev: a whole number from 0 to 255, not 256"},
      {{"mask", "auto", "--image", "still.bmp", "--out", "o.bmp"}, "needs --image, --lev"},
      {with(auto_ok, {"--out", "no/such/dir/o.bmp"}), "cannot write no/such/dir/o.bmp"},
      {with(auto_ok, {"--out", "DA-ALL.bmp"}), "UM025"},
      {{"mask", "hot", "--maps", "1M.bmp", "gone.bmp", "--out", "o.bmp"},
       "cannot read these detection maps (24-bit BMP):\n  gone.bmp"},
      {{"mask", "hot", "--maps", "1M.bmp", "2M.bmp", "--out", "o.bmp"}, "differ in size (64x32)"},
      {{"mask", "hot", "--maps", "1M.bmp", "--base", "tiny.bmp", "--out", "o.bmp"}, "tiny.bmp: "},
      {{"mask", "hot", "--maps", "--out", "o.bmp"}, "mask hot needs --maps and --out"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    const ToolRun run = Tool(dir_, c.args);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir_ / "o.bmp"));
    EXPECT_FALSE(fs::exists(dir_ / "DA-ALL.bmp"));
  }
  // The same maps with a base of their size: a written mask file of the frame size.
  const ToolRun hot = Tool(
      dir_, {"mask", "hot", "--maps", "1M.bmp", "1M.bmp", "--base", "still.bmp", "--out", "o.bmp"});
  EXPECT_EQ(hot.status, 0) << hot.output;
  EXPECT_EQ(hot.output, "mask o.bmp 64x32 masked=0 of 2048\n");
}

}  // namespace
}  // namespace orvanta
