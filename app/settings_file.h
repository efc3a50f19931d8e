// The records a save writes, built apart from the file so that a caller can
// check that everything fits before anything is written.
#pragma once

#include <string>
#include <vector>

#include "app/app_params.h"

namespace orvanta {

struct SaveRecord {
  std::string key;
  std::string bytes;  // value bytes before padding
};

// Every record SaveSettings writes for the context as it stands, in order
// (a template when state.saveAsTemplate is set).
std::vector<SaveRecord> BuildSaveRecords(AppContext& app);
// Whether the records fit the settings image (start and end limits).
bool RecordsFit(const std::vector<SaveRecord>& records);

// What a load of a missing or unreadable file does: db_dir and installdate
// made when empty, UM071 for a name other than the default.
void ApplyMissingSettingsFile(AppContext& app);

// Applies the image that app.uty holds, as a load does after reading the
// file (every key, install date, account values, directories, window).
void ApplyLoadedImage(AppContext& app);

// " yyyymmdd_hhmmss" of the current UTC time.
std::u16string MakeInstallDate();

}  // namespace orvanta
