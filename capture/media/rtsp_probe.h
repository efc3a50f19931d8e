// Opening an RTSP address the way a source's load step does: connect and ask for the
// stream's description, with credentials when given. The streaming source itself only
// connects once the graph runs; this gives the load step its answer at once.
#pragma once

#include <string>

#include "capture/media/media_result.h"

namespace orvanta::media {

// `address` is "host[:port][/path]" (no scheme, no credentials). kOk when the server
// describes the stream, kAccessDenied when it refuses the credentials, kFileNotFound for
// an unknown stream, kFail when it cannot be reached within `timeout_ms`.
Result ProbeRtsp(const std::string& address, const std::string& user, const std::string& password,
                 int timeout_ms);

}  // namespace orvanta::media
