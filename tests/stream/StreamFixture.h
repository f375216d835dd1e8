#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "base/Form.h"
#include "platform/fake/ManualClock.h"
#include "stream/StreamSystem.h"
#include "tests/stream/StreamPackets.h"
#include "view/ViewRecords.h"

namespace tevrano::test {

// One recorder context with its stream connection, a stepped clock and a
// decoder that records every unit it is handed.
class StreamFixture : public ::testing::Test {
 protected:
  StreamFixture() : stream(clock, form, pacingCounter) {
    view.Initialize();
    links.view = &view;
    links.stats = &stats;
    stream.Link(0, &links);
    stream.RegisterPictureOutput(0, "10.1.2.3", 80, 0, 0, &form.Image_video, &form.Label_time, 0,
                                 0);
    stream.Hooks().decodeFrame = [this](const uint8_t* d, uint32_t n, int slot) {
      decoded.emplace_back(d, d + n);
      slots.push_back(slot);
    };
  }

  void Feed(const std::vector<uint8_t>& bytes) {
    stream.FeedStream(bytes.data(), uint32_t(bytes.size()));
  }
  void FeedTransport(const PacketSpec& s) { Feed(TransportPacket(s)); }
  int Parse() { return stream.ParsePacket(conn()); }
  StreamConnection& conn() { return stream.Connection(0); }
  ChannelPacer& pacer(int ch) { return conn().Pacers[ch]; }
  uint32_t ChannelClock(int ch) { return stream.Clocks().Read(StreamClocks::ChannelId(ch)); }
  void UseMarkerFraming() {
    stream.rk9pProtocol = true;
    stream.StreamState() = 3;
  }

  platform::ManualClock clock;
  TTevranoX form;
  int pacingCounter = 0;
  ViewState view{};
  StreamStats stats;
  StreamContextLinks links;
  StreamSystem stream;
  std::vector<std::vector<uint8_t>> decoded;
  std::vector<int> slots;
};

}  // namespace tevrano::test
