#pragma once
#include "base/Component.h"
#include "video/VideoContext.h"

namespace tevrano::test {

// The stream state of one slot, set directly by the test.
struct FakeVideoContext : VideoContext {
  int mode = 0;
  bool fieldCoded = false;
  bool wide = false;
  bool keyFrameFlag = false;
  int streamHeight = 576;
  bool pictureOutput = true;
  Label* label = nullptr;  // registered for Live and Playback
  PictureTime time;
  int dateOrder = 0;

  int Mode() const override { return mode; }
  bool FieldCoded() const override { return fieldCoded; }
  bool WideStream() const override { return wide; }
  bool TakeKeyFrameFlag() override {
    const bool was = keyFrameFlag;
    keyFrameFlag = false;
    return was;
  }
  int StreamHeight() const override { return streamHeight; }
  bool HasPictureOutput() const override { return pictureOutput; }
  int TimeLabels(int m, Label** labels, int max) override {
    if (!label || max < 1 || (m != 0 && m != 1)) return 0;
    labels[0] = label;
    return 1;
  }
  PictureTime Time() const override { return time; }
  int DateOrder() const override { return dateOrder; }
};

}  // namespace tevrano::test
