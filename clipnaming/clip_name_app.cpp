// The clip name as the capture engine and the housekeeping use it: settings
// from the parameters and the block, and the fatal end when the clip store
// cannot be made.
#include "app/app_params.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "clipnaming/clip_name.h"

namespace orvanta {

ClipNameSettings ClipNameSettingsFrom(const AppParams& ap, const DetectionBlock& block,
                                      const std::string& extension) {
  ClipNameSettings s;
  s.db_dir = FieldUtf8(ap.db_dir);
  s.db_ymddir = ap.db_ymddir != 0;
  s.db_night = ap.db_night != 0;
  s.ccode = FieldUtf8(ap.ccode);
  s.lid = FieldUtf8(block.lid);
  s.cid = FieldUtf8(block.cid);
  s.extension = extension;
  return s;
}

ClipNameParts ClipName(const ClipNameSettings& settings, int64_t t, char letter, char separator) {
  auto parts = FormClipName(settings, t, letter, separator);
  if (!parts) FatalError("%s", parts.message().c_str());
  SetDayDir(parts->day_dir);
  return std::move(parts).value();
}

}  // namespace orvanta
