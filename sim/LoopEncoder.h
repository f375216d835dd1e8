// Encodes a test picture sequence once with libx264 (Baseline, CAVLC, no
// B-frames, an IDR every second) and rewrites its slices for the
// viewer-built parameter sets, so that streaming later costs only copies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ChannelPattern.h"

namespace tevrano::sim {

struct EncodedFrame {
  std::vector<uint8_t> units;  // slice NAL units, each behind a 4-byte big-endian length
  bool key = false;            // an IDR I-frame
};

struct EncodedLoop {
  int width = 0, height = 0, fps = 25;
  std::vector<EncodedFrame> frames;
  // Only when asked for: the encoder's own Annex B stream, parameter sets
  // included, for comparing decodes in tests.
  std::vector<std::vector<uint8_t>> original;
  std::string error;  // set when encoding or rewriting failed
};

struct LoopSpec {
  int width = 704, height = 576, fps = 25;
  int seconds = 2;
  bool keepOriginal = false;
};

using DrawFrame = std::function<void(Picture&, int frame, int loopFrames)>;

EncodedLoop EncodeLoop(const LoopSpec& spec, const DrawFrame& draw);

}  // namespace tevrano::sim
