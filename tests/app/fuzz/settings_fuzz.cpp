// libFuzzer target: any bytes as a settings file image, through the whole
// load and a save into memory. Fatal errors that the file format makes fatal
// (an oversized value) end the input, never the process.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/settings_file.h"

namespace {
struct FatalExitCalled {};

orvanta::AppContext& Context() {
  static auto* app = [] {
    ::setenv("HOME", "/tmp/orvanta-settings-fuzz", 1);
    orvanta::SetMessageHandler({[](const std::string&) { return 1; }, [](const std::string&) {}});
    orvanta::SetFatalExit([](int) { throw FatalExitCalled{}; });
    return new orvanta::AppContext;
  }();
  return *app;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvanta::AppContext& app = Context();
  orvanta::SetDefaults(app);
  try {
    app.uty.ReadImage(data, size);
    orvanta::ApplyLoadedImage(app);
    const auto records = orvanta::BuildSaveRecords(app);
    if (orvanta::RecordsFit(records)) {
      app.uty.Rewind();
      for (const auto& r : records) app.uty.PutValue(r.key.c_str(), r.bytes.data(), r.bytes.size());
    }
  } catch (const FatalExitCalled&) {
  }
  return 0;
}
