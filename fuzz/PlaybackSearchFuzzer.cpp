// Arbitrary "PBBA" answers from the recorder: window answers (which send the
// map request back) and map answers for every index.
#include <cstdint>

#include "base/ByteReader.h"
#include "stream/PlaybackSearch.h"
#include "tests/support/StreamRig.h"

using namespace tevrano;

namespace {

struct Harness : test::StreamRig {
  PlaybackSearch search{contexts, nullptr};
  int maps = 0;

  Harness() : StreamRig(0x02000000u) {
    for (int i = 0; i < 2; ++i) ctx[i].LoggedIn = 1;
    search.mapArrived = [this](int) { ++maps; };
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  // The body lies in a buffer of exactly its size, as a module's copy would.
  uint8_t* body = new uint8_t[size ? size : 1];
  for (size_t i = 0; i < size; ++i) body[i] = data[i];
  if (size >= 16) {
    // Most inputs should name a context and a camera that was asked about.
    if (body[3] & 0x80) StoreLe32(body, 0x02000000u + (body[3] & 1));
    const uint32_t index = LoadLe32(body + 4), channel = LoadLe32(body + 12);
    if (index < uint32_t(PlaybackSearch::kIndexes))
      h->search.QueryWindow(body[3] & 1, int(index), channel, 0x20000000u + channel);
    // Most map answers should carry a matching byte sum, so that the flags
    // are taken from them.
    const uint32_t payload = PlaybackSearch::kSubHeader;
    if ((body[7] & 0x80) && size >= payload + 16) {
      const uint32_t total = LoadLe32(body + payload + 8);
      if (total > PlaybackSearch::kMapOffset && total <= size - payload) {
        uint32_t sum = 0;
        for (uint32_t k = PlaybackSearch::kMapOffset; k < total; ++k) sum += body[payload + k];
        StoreLe32(body + payload + 12, sum);
      }
    }
  }
  h->search.Receive(body, uint32_t(size));
  delete[] body;
  // Every flag the answers set is 0 or 1.
  for (int k = 0; k < PlaybackSearch::kTimeBarSlots; ++k)
    if (h->search.TimeBarSlots()[k] > 1) __builtin_trap();
  for (int k = 0; k < PlaybackSearch::kCalendarCells; ++k)
    if (h->search.CalendarDays()[k] > 1) __builtin_trap();
  for (RecorderContext& c : h->ctx) EmptySendRing(c);
  return 0;
}
