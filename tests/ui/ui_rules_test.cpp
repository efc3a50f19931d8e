// The live page's and the main window's rules without widgets.
#include <gtest/gtest.h>

#include <climits>

#include "app/settings_keys.h"
#include "app/settings_ranges.h"
#include "capture/filter_check.h"
#include "ui/live_values.h"
#include "ui/status_strip_rules.h"
#include "ui/window_layout.h"

namespace orvanta::ui {
namespace {

TEST(CompressedScale, ValuesAndPositionsBothWays) {
  struct Case {
    int value, position, back;
  } cases[] = {
      {1, 1, 1},           {299, 299, 299},     {300, 300, 300},
      {12345, 420, 12300}, {21500, 512, 21500}, {1310720, 13404, 1310700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ToCompressed(c.value), c.position);
    EXPECT_EQ(FromCompressed(c.position), c.back);
  }
  // Every trackbar position lands on a value that shows at the same position.
  for (int p = kDsizeTrackMin; p <= kDsizeTrackMax; ++p)
    EXPECT_EQ(ToCompressed(FromCompressed(p)), p);
}

// What the live page lets the user enter, the settings file takes back at the next start.
TEST(EditClamp, PageLimitsAreTheSettingsRanges) {
  struct Case {
    const char* key;
    int lo, hi;
  } cases[] = {{"IF.dsize", kDsizeMin, kDsizeMax}, {"IF.dlev", kDlevMin, kDlevMax}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const std::optional<ValueRange> range = RangeOf(*FindSettingsKey(c.key));
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->min, c.lo);
    EXPECT_EQ(range->max, c.hi);
  }
}

TEST(EditClamp, TypedNumbersAreClampedAndOtherTextKeepsTheValue) {
  struct Case {
    const char* text;
    int lo, hi, previous, expected;
  } cases[] = {
      {"12345", 1, 1310720, 7, 12345},
      {"2000000", 1, 1310720, 7, 1310720},
      {"99999999999999999999", 1, 1310720, 7, 1310720},  // no overflow into the negative
      {"0", 1, 255, 7, 1},
      {"-5", 1, 255, 7, 1},
      {"300", 1, 255, 7, 255},
      {" 42", 1, 255, 7, 42},
      {"", 1, 255, 7, 7},
      {"abc", 1, 255, 7, 7},
      {"-", 1, 255, 7, 7},
      {"12x", 1, 255, 7, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ClampEditText(c.text, c.lo, c.hi, c.previous), c.expected);
  }
  EXPECT_EQ(ClampEditText("-99999999999999999999", INT_MIN, INT_MAX, 0), INT_MIN);
}

TEST(FitWindowToVideo, DoubleHalfAndFullSizeWithTheMinimums) {
  struct Case {
    int cx, cy, x0, y0, window_width;
    PixelSize expected;
  } cases[] = {
      {320, 240, 330, 60, 1000, {982, 552}},                 // double size
      {1920, 1080, 330, 60, 1000, {330 + 972, 60 + 552}},    // half size
      {1920, 1080, 330, 60, 1400, {330 + 1932, 60 + 1092}},  // full size
      {1920, 1080, 330, 60, 1320, {330 + 972, 60 + 552}},    // 1320 still counts as narrow
      {100, 80, 10, 10, 1000, {790, 480}},                   // raised to the minimums
      {1280, 720, 330, 60, 1000, {330 + 1292, 60 + 732}},    // full size below 1920
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << "x" << c.cy << " in " << c.window_width);
    EXPECT_EQ(FitWindowToVideo(c.cx, c.cy, c.x0, c.y0, c.window_width, 480), c.expected);
  }
}

TEST(FitToRoom, KeepsTheProportions) {
  EXPECT_EQ(FitToRoom(1920, 1080, {960, 1000}), (PixelSize{960, 540}));
  EXPECT_EQ(FitToRoom(1920, 1080, {1000, 270}), (PixelSize{480, 270}));
  EXPECT_EQ(FitToRoom(0, 1080, {1000, 270}), (PixelSize{1, 1}));
}

TEST(PlaceOnScreen, SavedRectanglesComeBackOnTheScreen) {
  const PixelRect screen{0, 0, 1280, 800};
  const PixelSize minimum{790, 480};
  // Fits: unchanged.
  EXPECT_EQ(PlaceOnScreen({20, 100, 989, 625}, screen, minimum), (PixelRect{20, 100, 989, 625}));
  // The default of a large screen shrinks to this one.
  EXPECT_EQ(PlaceOnScreen({20, 100, 1900, 1150}, screen, minimum), (PixelRect{0, 0, 1280, 800}));
  // Saved on a second screen to the right: moved back whole.
  EXPECT_EQ(PlaceOnScreen({2000, 50, 900, 600}, screen, minimum), (PixelRect{380, 50, 900, 600}));
  // A screen smaller than the minimum keeps the minimum size.
  EXPECT_EQ(PlaceOnScreen({0, 0, 900, 600}, {0, 0, 640, 400}, minimum),
            (PixelRect{0, 0, 790, 480}));
}

TEST(StatusStrip, TextColourAndSoundInOrder) {
  struct Case {
    StatusInputs in;
    const char* text;
    int red, green, blue;
    bool sound;
  } cases[] = {
      {{0, 1, 1, 0, 0, 0, 0}, " activating ", 255, 255, 100, false},
      {{5, 0, 2, 1, 1, 0, 0}, " Recording ", 255, 0, 0, true},
      {{5, 0, 2, 0, 1, 0, 0}, " D-Recording ", 255, 80, 80, true},
      {{5, 0, 2, 0, 0, 0, 0}, " T-Recording ", 255, 120, 120, false},
      {{0, 0, 1, 0, 0, 0, 0}, " Previewing ", 200, 200, 240, false},
      {{0, 0, 0, 0, 0, 0, 0}, " status : idle ", 160, 160, 160, false},
      {{0, 0, 2, 0, 1, 0, 0}, " Detecting ", 80, 100, 255, false},
      {{0, 0, 2, 0, 1, 3, 12}, " Detecting -3-12", 80, 100, 255, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const StatusChoice choice = ChooseStatus(c.in);
    EXPECT_EQ(choice.text, c.text);
    EXPECT_EQ(choice.red, c.red);
    EXPECT_EQ(choice.green, c.green);
    EXPECT_EQ(choice.blue, c.blue);
    EXPECT_EQ(choice.plays_record_sound, c.sound);
  }
  EXPECT_EQ(StatusCode({1, 1, 2, 0, 0, 0, 0}), 121);
}

TEST(FilterCheck, GoesOnWhenInstalledHereOrRegisteredElsewhere) {
  using capture::DecideFilterCheck;
  using capture::FilterCheckVerdict;
  using capture::LibraryFinding;
  const LibraryFinding here{true, "/opt/o/libzavipf.so", "/opt/o/libzavipf.so"};
  const LibraryFinding loaded_here{true, "/opt/o/libzaviprf.so", ""};
  const LibraryFinding missing{false, "", ""};
  const LibraryFinding elsewhere{false, "", "/usr/lib/gstreamer-1.0/libzavipf.so"};
  EXPECT_EQ(DecideFilterCheck({here, loaded_here}), FilterCheckVerdict::kContinue);
  EXPECT_EQ(DecideFilterCheck({here, missing}), FilterCheckVerdict::kNotInstalled);
  EXPECT_EQ(DecideFilterCheck({missing, missing}), FilterCheckVerdict::kNotInstalled);
  EXPECT_EQ(DecideFilterCheck({elsewhere, missing}), FilterCheckVerdict::kContinue);
}

}  // namespace
}  // namespace orvanta::ui
