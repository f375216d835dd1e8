#pragma once
// The stream side of the control built by hand for the fuzz targets and
// benchmarks that drive one module without the whole control: the two
// recorder contexts (each with its ZELL state and an empty send ring), the
// stream system with a link per context, and the stream buffers of
// connection 0. What each target adds (the ICMD or VIDO module, its hooks)
// it adds on top; the contexts' views are the rig's own unless it binds
// others.
#include <cstdint>

#include "base/Form.h"
#include "net/SendQueue.h"
#include "platform/fake/ManualClock.h"
#include "stream/StreamSystem.h"
#include "view/ViewRecords.h"

namespace tevrano::test {

struct StreamRig {
  platform::ManualClock clock;
  TTevranoX form;
  int pacing = 0;
  RecorderContext ctx[2];
  ZellState zell[2];
  RecorderContext* contexts[2] = {&ctx[0], &ctx[1]};
  StreamSystem stream{clock, form, pacing};
  ViewState views[2];
  StreamStats stats[2];
  StreamContextLinks links[2];

  // Contexts numbered 0 and 1 with session ids `firstSession` + index.
  explicit StreamRig(uint32_t firstSession) {
    for (int i = 0; i < 2; ++i) {
      ctx[i].Index = i;
      ctx[i].SessionId = firstSession + uint32_t(i);
      ctx[i].Zell = &zell[i];
      EmptySendRing(ctx[i]);
      views[i].Initialize();
      links[i].index = i;
      links[i].view = &views[i];
      links[i].stats = &stats[i];
      stream.Link(i, &links[i]);
    }
    stream.Connection(0).AllocateBuffers();
    // The decoder is not part of the rig: a unit handed to it has its ends
    // touched, so that the sanitizer checks its whole extent.
    stream.Hooks().decodeFrame = [this](const uint8_t* d, uint32_t n, int) {
      decodedBytes += d[0] + d[n - 1];
    };
  }
  // Binds context i's stream link to another view (a module's own).
  void UseView(int i, ViewState& view) { links[i].view = &view; }

  uint64_t decodedBytes = 0;
};

}  // namespace tevrano::test
