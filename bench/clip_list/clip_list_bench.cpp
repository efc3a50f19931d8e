// The clip list of one night of 5,000 clips, each with its video, record, peak-hold image,
// detection map and thumbnail (25,000 files in one day directory of a year/month/day tree):
// what "re-read" costs, for the list alone and for the DB page with its list view (under
// the offscreen platform unless another is set).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/app_params.h"
#include "app/text_utf.h"
#include "ui/clip_list.h"
#include "ui/db_page.h"

namespace {

namespace fs = std::filesystem;

class Night {
 public:
  explicit Night(int clips) {
    std::string pattern = (fs::temp_directory_path() / "orvanta-bench-night-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    const fs::path day = root_ / "2024" / "202408" / "20240812";
    fs::create_directories(day);
    // Clips from 20:00 on the evening to 04:00 in the morning, filed under the evening.
    for (int i = 0; i < clips; ++i) {
      const int seconds = 20 * 3600 + i * (8 * 3600 / clips);
      const int hour = seconds / 3600 % 24, minute = seconds / 60 % 60, second = seconds % 60;
      char base[64];
      std::snprintf(base, sizeof base, "M202408%02d_%02d%02d%02d_JPTK01_C1", hour >= 12 ? 12 : 13,
                    hour, minute, second);
      for (const char* end : {".avi", ".xml", "P.jpg", "M.bmp", "T.jpg"})
        std::ofstream(day / (std::string(base) + end)) << end;
    }
  }
  ~Night() { fs::remove_all(root_); }
  std::string root() const { return root_.string(); }

 private:
  fs::path root_;
};

void BM_ListNight(benchmark::State& state) {
  const Night night(static_cast<int>(state.range(0)));
  orvanta::ui::ClipList list;
  for (auto _ : state) {
    list.Reset({2024, 8, 12, 1, true});
    list.Scan(night.root(), true);
    benchmark::DoNotOptimize(list.row_count());
  }
  if (list.row_count() != state.range(0)) state.SkipWithError("not every clip listed");
  state.counters["rows"] = list.row_count();
}
BENCHMARK(BM_ListNight)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_DbPageReRead(benchmark::State& state) {
  const Night night(static_cast<int>(state.range(0)));
  auto app = std::make_unique<orvanta::AppContext>();
  orvanta::SetDefaults(*app);
  orvanta::SetField(app->ap.db_dir, orvanta::Utf8ToUtf16(night.root()));
  app->ap.db_ymddir = 1, app->ap.db_latest = 0, app->ap.db_night = 1;
  app->ap.db_y = 2024, app->ap.db_m = 8, app->ap.db_d = 12, app->ap.db_days = 1;
  orvanta::ui::DbPage page(*app);
  page.resize(320, 900);
  page.show();
  QApplication::processEvents();
  for (auto _ : state) {
    page.ReReadClipList();
    QApplication::processEvents();  // the view lays out and paints the rows in sight
  }
  if (page.clip_list().row_count() != state.range(0)) state.SkipWithError("not every clip listed");
}
BENCHMARK(BM_DbPageReRead)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
