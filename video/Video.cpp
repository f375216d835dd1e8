#include "video/Video.h"

#include "base/Form.h"
#include "video/VideoDecoder.h"
#include "video/Yuv2.h"

namespace tevrano {

Video::Video(TTevranoX& form) : form_(form), display_(std::make_unique<Yuv2>(form)) {
  for (auto& slot : slots_) slot = std::make_unique<VideoDecoder>();
}

Video::~Video() = default;

VideoDecoder& Video::Decoder(int slot) {
  return *slots_[slot];
}

int Video::Video_Decoder_Open(int slot) {
  if (slot < 0 || slot >= kSlotCount) return -1;
  currentSlot_ = slot;
  ffh264_.flags |= CodecDescription::kInUse;
  return slots_[slot]->Open(decoderName_);
}

bool Video::AllocateFrameBuffers() {
  bool ok = display_->AllocateWorkBuffers();
  for (auto& slot : slots_) {
    if (slot->IsOpen()) ok = slot->AllocateFrameBuffers() && ok;
  }
  // The video image can grow to the wide video area without allocating
  // while pictures are drawn.
  Bitmap& bitmap = form_.Image_video.picture;
  const int w = bitmap.Width() > 0 ? bitmap.Width() : 704;
  const int h = bitmap.Height() > 0 ? bitmap.Height() : 576;
  if (w < 960) {
    bitmap.SetSize(960, h);
    bitmap.SetSize(w, h);
  }
  framesAllocated_ = ok;
  return ok;
}

void Video::SetContext(int slot, VideoContext* context) {
  if (slot >= 0 && slot < kSlotCount) contexts_[slot] = context;
}

void Video::SetMarkerRefresh(std::function<void(int)> refresh) {
  markerRefresh_ = std::move(refresh);
}

void Video::Video_Decode_Frame(const uint8_t* data, uint32_t length, int slot) {
  if (!framesAllocated_ || !data || length == 0) return;
  if (slot < 0 || slot >= kSlotCount) return;
  currentSlot_ = slot;
  VideoDecoder& decoder = *slots_[slot];
  if (!decoder.IsOpen()) return;
  VideoContext* context = contexts_[slot];
  // An I-frame re-establishes the output size, even an unchanged one.
  if (context && context->TakeKeyFrameFlag()) decoder.configured = false;

  const VideoDecoder::Result result = decoder.Decode(data, length);
  if (result != VideoDecoder::Result::NoPicture) {
    const VideoPicture& picture = decoder.Picture();
    sliceError_ = result == VideoDecoder::Result::FailedPicture ? -1 : 0;
    if (picture.width != decoder.outWidth || picture.height != decoder.outHeight ||
        !decoder.configured) {
      decoder.outWidth = picture.width;
      decoder.outHeight = picture.height;
      decoder.configured = true;
    }
    if (picture.width > 0 && picture.height > 0 && picture.planes[0] && !holdPicture_) {
      Video_Show_Picture(picture.planes[0], picture.planes[1], picture.planes[2],
                         picture.strides[0], picture.strides[1], picture.width, picture.height);
    }
  }
  if (markerRefresh_) markerRefresh_(context ? context->StreamHeight() : 0);
}

void Video::Video_Show_Picture(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr,
                               int luma_stride, int chroma_stride, int width, int height) {
  if (width <= 0 || height <= 0 || sliceError_ != 0) return;
  if (currentSlot_ < 0 || currentSlot_ >= kSlotCount) return;
  VideoContext* context = contexts_[currentSlot_];
  if (!context || !context->HasPictureOutput()) return;
  YuvPlanes planes{luma, cb, cr, luma_stride, chroma_stride, width, height};
  if (display_->Show(planes, *context)) ++picturesShown_;
}

}  // namespace tevrano
