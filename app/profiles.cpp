#include "app/profiles.h"

#include "app/text_utf.h"

namespace orvanta {
namespace {
// settingsFileName names `path` for the lifetime of this object.
class NameSwap {
 public:
  NameSwap(AppState& state, const std::string& path)
      : state_(state), kept_(state.settingsFileName) {
    state_.settingsFileName = path;
  }
  ~NameSwap() { state_.settingsFileName = kept_; }
  NameSwap(const NameSwap&) = delete;
  NameSwap& operator=(const NameSwap&) = delete;

 private:
  AppState& state_;
  std::string kept_;
};
}  // namespace

bool LoadProfile(AppContext& app, const std::string& path) {
  NameSwap swap(app.state, path);
  return LoadSettings(app);
}

bool SaveProfile(AppContext& app, const std::string& path) {
  NameSwap swap(app.state, path);
  return SaveSettings(app);
}

bool SwitchProfile(AppContext& app, const std::u16string& name) {
  const std::string path = Utf16ToUtf8(name);
  if (path.empty() || path == app.state.settingsFileName) return false;
  LoadProfile(app, path);
  return true;
}

}  // namespace orvanta
