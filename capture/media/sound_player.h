// Plays a sound file once, without waiting for it (the recording sound).
#pragma once

#include <string>

namespace orvanta::media {

// Starts playing `path`; the player releases itself at the end or on an error. Returns
// false when playback could not start. Needs a GLib main loop on the default context
// (Qt's event loop is one).
bool PlaySoundFile(const std::string& path);

}  // namespace orvanta::media
