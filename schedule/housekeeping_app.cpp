#include "app/messages.h"
#include "app/text_utf.h"
#include "clipnaming/clip_name.h"
#include "schedule/housekeeping.h"

namespace orvanta::schedule {

void CreateDateDirOrDie(const std::string& path) {
  if (const Status status = CreateDateDir(path); !status)
    FatalError("%s", status.message().c_str());
}

void MoveClipsAfterDetect(const AppParams& ap, bool verbose_move,
                          const std::function<void()>& reread_clip_list) {
  MoveClipsAfterDetect(ClipMoveSettingsFrom(ap), verbose_move,
                       ClipMoveHooks{CreateDateDirOrDie, reread_clip_list});
}

bool WriteKeepAlive(const AppParams& ap) {
  return WriteKeepAlive(DayDir(), FieldUtf8(ap.db_dir));
}

void CleanReplayCache(const AppParams& ap) {
  CleanReplayCache(FieldUtf8(ap.cache_dir));
}

}  // namespace orvanta::schedule
