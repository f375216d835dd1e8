#include "video/PicturePool.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

namespace tevrano {
namespace {

constexpr int kAlign = 64;

size_t AlignUp(size_t v) {
  return (v + kAlign - 1) / kAlign * kAlign;
}

bool IsPlanar420(int format) {
  return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

PicturePool::~PicturePool() {
  // The decoder contexts that use this pool are closed first (they may still
  // hold references); uninit frees the pool once the last one is back.
  if (pool_) av_buffer_pool_uninit(&pool_);
}

PicturePool::Layout PicturePool::PlaneLayout(AVCodecContext* context, int width, int height) {
  Layout layout;
  if (width <= 0 || height <= 0 || width > kMaxWidth || height > kMaxHeight) return layout;
  // The decoder reads and writes past the visible size (macroblock rows,
  // motion vectors pointing over the edge); it says by how much.
  int w = width, h = height;
  int strideAlign[AV_NUM_DATA_POINTERS] = {};
  avcodec_align_dimensions2(context, &w, &h, strideAlign);
  const size_t lumaStride = AlignUp(static_cast<size_t>(w));
  const size_t chromaStride = AlignUp(static_cast<size_t>((w + 1) / 2));
  const size_t chromaRows = static_cast<size_t>((h + 1) / 2);
  layout.strides[0] = static_cast<int>(lumaStride);
  layout.strides[1] = layout.strides[2] = static_cast<int>(chromaStride);
  // 64 spare bytes after each plane for the decoder's vector reads.
  layout.offsets[0] = 0;
  layout.offsets[1] = AlignUp(lumaStride * h + kAlign);
  layout.offsets[2] = layout.offsets[1] + AlignUp(chromaStride * chromaRows + kAlign);
  layout.size = layout.offsets[2] + AlignUp(chromaStride * chromaRows + kAlign);
  return layout;
}

bool PicturePool::Allocate(AVCodecContext* context) {
  if (pool_) return true;
  const Layout largest = PlaneLayout(context, kMaxWidth, kMaxHeight);
  if (largest.size == 0) return false;
  bufferSize_ = largest.size;
  if (!memory_.Allocate(bufferSize_ * kBuffers)) return false;
  pool_ = av_buffer_pool_init2(bufferSize_, this, &PicturePool::TakeBuffer, nullptr);
  return pool_ != nullptr;
}

void PicturePool::Attach(AVCodecContext* context) {
  context->opaque = this;
  context->get_buffer2 = &PicturePool::GetBuffer;
}

// The reference pool asks for a new buffer only when none of those it has
// made is free: hand out the next slice of the block until all are made.
AVBufferRef* PicturePool::TakeBuffer(void* opaque, size_t size) {
  auto* self = static_cast<PicturePool*>(opaque);
  if (self->created_ >= kBuffers || size > self->bufferSize_) return nullptr;
  uint8_t* data = self->memory_.Data() + self->bufferSize_ * self->created_;
  AVBufferRef* ref = av_buffer_create(data, size, &PicturePool::KeepBuffer, self, 0);
  if (ref) ++self->created_;
  return ref;
}

// The memory belongs to the block, which lives as long as the pool.
void PicturePool::KeepBuffer(void*, uint8_t*) {}

int PicturePool::GetBuffer(AVCodecContext* context, AVFrame* frame, int) {
  auto* self = static_cast<PicturePool*>(context->opaque);
  if (!self || !self->pool_ || !IsPlanar420(frame->format)) {
    if (self) ++self->refusals_;
    return AVERROR(EINVAL);
  }
  const Layout layout = PlaneLayout(context, frame->width, frame->height);
  if (layout.size == 0 || layout.size > self->bufferSize_) {
    ++self->refusals_;
    return AVERROR(EINVAL);
  }
  AVBufferRef* buffer = av_buffer_pool_get(self->pool_);
  if (!buffer) {
    ++self->refusals_;
    return AVERROR(ENOMEM);
  }
  // A buffer holds whatever picture used it last; macroblocks the decoder
  // does not write (a slice that never came) show mid-grey instead.
  std::memset(buffer->data, kBlank, layout.size);
  frame->buf[0] = buffer;
  for (int i = 0; i < 3; ++i) {
    frame->data[i] = buffer->data + layout.offsets[i];
    frame->linesize[i] = layout.strides[i];
  }
  for (int i = 3; i < AV_NUM_DATA_POINTERS; ++i) {
    frame->data[i] = nullptr;
    frame->linesize[i] = 0;
  }
  frame->extended_data = frame->data;
  return 0;
}

}  // namespace tevrano
