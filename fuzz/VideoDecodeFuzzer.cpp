// Arbitrary bytes as a unit for the decoder slots and the display: the NAL
// length walk, libavcodec behind the picture pool, and every drawing path
// (the first byte picks the view mode, field coding, the wide area and the
// slot) must survive anything.
#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/log.h>
}

#include "base/Form.h"
#include "video/Video.h"
#include "video/VideoContext.h"

namespace {

struct FuzzContext : tevrano::VideoContext {
  int mode = 0;
  bool fieldCoded = false, wide = false, key = false;
  int Mode() const override { return mode; }
  bool FieldCoded() const override { return fieldCoded; }
  bool WideStream() const override { return wide; }
  bool TakeKeyFrameFlag() override {
    const bool k = key;
    key = false;
    return k;
  }
  int StreamHeight() const override { return 576; }
  bool HasPictureOutput() const override { return true; }
  int TimeLabels(int, tevrano::Label**, int) override { return 0; }
  tevrano::PictureTime Time() const override { return {}; }
};

struct Rig {
  tevrano::TTevranoX form;
  tevrano::Video video{form};
  FuzzContext context[2];
  Rig() {
    // As the library entry does: damaged units are expected, not reported.
    av_log_set_level(AV_LOG_FATAL);
    form.Image_video.picture.SetSize(704, 576);
    form.Image2.picture.SetSize(704, 576);
    form.Image2.picture.Fill(0x00FFFFFF);
    video.Video_Decoder_Open(0);
    video.Video_Decoder_Open(1);
    video.AllocateFrameBuffers();
    video.SetContext(0, &context[0]);
    video.SetContext(1, &context[1]);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  if (size < 1) return 0;
  const uint8_t pick = data[0];
  const int slot = pick >> 7;
  FuzzContext& c = rig.context[slot];
  c.mode = pick & 3;
  c.fieldCoded = pick & 4;
  c.wide = pick & 8;
  c.key = pick & 16;
  rig.video.Video_Decode_Frame(data + 1, static_cast<uint32_t>(size - 1), slot);
  return 0;
}
