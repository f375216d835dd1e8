// The recordings the simulated recorder holds: per camera channel a sorted
// list of periods [start, end) in recorder seconds that do not overlap or
// touch. Made from a seed (recordings on some days and half-hours of the
// last five weeks) or read from a JSON file:
//
//   {"channels": {"1": [["2026-12-01T08:00:00", "2026-12-01T09:30:00"], ...],
//                 "3": []}}
//
// Channel names are the camera numbers as a user counts them, "1" to the
// recorder's channel count (wire channel 0 is "1"); times are the
// recorder's local time, years 2000 to 2099, each period's end after its
// start. Overlapping or touching periods are joined. Channels not named
// hold no recordings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevrano::sim {

struct Recording {
  uint32_t start = 0, end = 0;  // recorder seconds, end exclusive
  bool operator==(const Recording&) const = default;
};

class RecordingArchive {
 public:
  explicit RecordingArchive(int channels = 16);

  // The seeded archive of the five weeks (35 days) that end at `now`:
  // on each channel, recordings on about half of the days, one to four a
  // day of half an hour to three hours, starting at any minute; and every
  // channel recorded the last two hours before `now`, so that playback
  // from "a little before now" finds video. The same seed and `now` give
  // the same archive.
  static RecordingArchive Generate(uint32_t seed, uint32_t now, int channels);
  // Reads the JSON form above; false with a message naming what is wrong.
  static bool FromJson(const std::string& text, int channels, RecordingArchive& out,
                       std::string& error);
  static bool FromFile(const std::string& path, int channels, RecordingArchive& out,
                       std::string& error);

  // Adds a period and joins it with its neighbours.
  void Add(int channel, Recording r);
  int channels() const { return int(channels_.size()); }
  // The periods of a channel (0-based); empty for a channel out of range.
  const std::vector<Recording>& Of(int channel) const;

  // Whether [from, to) meets a recording of the channel.
  bool Recorded(int channel, uint32_t from, uint32_t to) const;
  // For playback at t: t itself when recorded; otherwise, moving forwards,
  // the start of the next recording, or backwards, the last second of the
  // previous one. False when there is none that way.
  bool Seek(int channel, uint32_t t, bool forwards, uint32_t& out) const;
  // The recording that holds t, or null.
  const Recording* Holding(int channel, uint32_t t) const;

 private:
  std::vector<std::vector<Recording>> channels_;
};

}  // namespace tevrano::sim
