#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "video/PicturePool.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace tevrano {
namespace {

// A decoder context that is never opened, with the pool's callback.
struct PoolOnContext {
  AVCodecContext* context = avcodec_alloc_context3(avcodec_find_decoder_by_name("h264"));
  PicturePool pool;
  std::vector<AVFrame*> frames;
  PoolOnContext() {
    pool.Attach(context);
    EXPECT_TRUE(pool.Allocate(context));
  }
  ~PoolOnContext() {
    for (AVFrame* f : frames) av_frame_free(&f);
    avcodec_free_context(&context);
  }
  int Get(int width, int height, int format = AV_PIX_FMT_YUV420P) {
    AVFrame* f = av_frame_alloc();
    f->width = width;
    f->height = height;
    f->format = format;
    const int r = context->get_buffer2(context, f, 0);
    frames.push_back(f);
    return r;
  }
};

TEST(PicturePool, RefusesWhenEveryBufferIsInUseAndRecoversWhenOneReturns) {
  PoolOnContext p;
  for (int i = 0; i < PicturePool::kBuffers; ++i) ASSERT_EQ(p.Get(704, 576), 0) << i;
  EXPECT_EQ(p.Get(704, 576), AVERROR(ENOMEM));
  av_frame_unref(p.frames[3]);
  EXPECT_EQ(p.Get(352, 288), 0);
  EXPECT_EQ(p.pool.Created(), PicturePool::kBuffers);
}

TEST(PicturePool, RefusesSizesAndFormatsItWasNotMadeFor) {
  PoolOnContext p;
  EXPECT_EQ(p.Get(976, 576), AVERROR(EINVAL));
  EXPECT_EQ(p.Get(960, 592), AVERROR(EINVAL));
  EXPECT_EQ(p.Get(0, 576), AVERROR(EINVAL));
  EXPECT_EQ(p.Get(704, 576, AV_PIX_FMT_YUV422P), AVERROR(EINVAL));
  EXPECT_EQ(p.Get(960, 576), 0);
  EXPECT_EQ(p.pool.Refusals(), 4);
}

TEST(PicturePool, EveryPlaneAndStrideIsAlignedTo64Bytes) {
  PoolOnContext p;
  for (auto [w, h] : {std::pair{704, 576}, {352, 288}, {720, 480}, {960, 576}, {176, 144}}) {
    ASSERT_EQ(p.Get(w, h), 0);
    const AVFrame* f = p.frames.back();
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(f->data[i]) % 64, 0u);
      EXPECT_EQ(f->linesize[i] % 64, 0);
    }
    EXPECT_LE(f->data[2] + f->linesize[2] * ((h + 1) / 2), f->buf[0]->data + f->buf[0]->size);
    av_frame_unref(p.frames.back());
  }
}

TEST(PicturePool, EveryPlaneHandedOutIsMidGreyEvenInABufferUsedBefore) {
  PoolOnContext p;
  // Every buffer holds an older picture, then all go back to the pool.
  for (int i = 0; i < PicturePool::kBuffers; ++i) {
    ASSERT_EQ(p.Get(704, 576), 0) << i;
    const AVFrame* f = p.frames.back();
    std::memset(f->buf[0]->data, 0x5A, f->buf[0]->size);
  }
  for (AVFrame* f : p.frames) av_frame_unref(f);
  for (auto [w, h] : {std::pair{704, 576}, {352, 288}}) {
    ASSERT_EQ(p.Get(w, h), 0);
    const AVFrame* f = p.frames.back();
    for (int i = 0; i < 3; ++i) {
      const int rows = i == 0 ? h : h / 2, columns = i == 0 ? w : w / 2;
      for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
          ASSERT_EQ(f->data[i][y * f->linesize[i] + x], PicturePool::kBlank)
              << "plane " << i << " at " << x << "," << y << " of " << w << "x" << h;
    }
  }
}

}  // namespace
}  // namespace tevrano
