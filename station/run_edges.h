// What every station run does at its edges, with or without a window: at the start it
// mends the recordings an earlier run left unfinished; at a stop asked from outside it
// finishes the clip being recorded; at the end it leaves within seconds even when the
// source no longer answers.
#pragma once

#include <functional>

#include "app/app_params.h"
#include "detectfilter/zavipf.h"

class QObject;

namespace orvanta::capture {
class CLiveThread;
class LiveController;
}  // namespace orvanta::capture

namespace orvanta::station {

// Recordings an earlier run left unfinished become clips again (or go) before this run
// records, so that they neither sit broken in the store nor hold its space for good; each
// one is reported.
void MendLeftRecordingsAtStart(const AppContext& app);

// A stop asked from outside (signal, service manager) does not throw away the clip being
// recorded: detection ends, the clip ends with the next frame and is finished like any
// other, and only then is end_run called. A source that sends no more frames cannot end
// the clip: after a few seconds its file is kept as it stands and the run ends.
void EndAfterClip(capture::LiveController& page, const DetectionBlock& block,
                  capture::CLiveThread& live, QObject* context, std::function<void()> end_run);

// The live thread finishes or removes the recording, then ends. One held in a source that
// never answers (a FIFO nobody writes, a dead network share, a silent camera) cannot, and
// the program must end all the same: false then, and the caller leaves without it.
bool ShutDownLiveThread(capture::CLiveThread& live);

}  // namespace orvanta::station
