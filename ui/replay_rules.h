// The replay page's rules without widgets: the head position of "|| H", the name and number of
// a frame saved by "SnapShot+", and where a clip is copied in the replay cache.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta::ui {

// "|| H": the position of the clip's head (the frames recorded before the trigger) in
// milliseconds; 1000 when the frame rate is unknown.
int64_t HeadSeekMs(double fps, int fs_head);

// The number a saved frame carries: the frame at `position` (100-ns units), or with
// deinterlaced stepping the field, counted in the order the fields are shown.
int SnapshotNumber(int64_t position, double clip_fps, bool deinterlace, int bbf, int field_odd);

// The clip's video path without ".avi", its file name beginning with 'z' (a saved frame is
// never taken for a clip); the frame's files add "_%03ds.jpg" or "_%03ds.bmp".
std::string SnapshotStem(const std::string& clip_video_path);
std::string SnapshotPath(const std::string& stem, int number, const char* extension);

// The clip's copy in the replay cache.
std::string ReplayCachePath(const std::string& cache_dir, const std::string& clip_name);

}  // namespace orvanta::ui
