#pragma once
// A text surface for the fuzz targets that render titles: the fake's
// fixed-cell font at a fifth of its size, so that rendering sixty-four
// titles of garbage stays cheap while every path of the layout (ink wider
// or taller than the box, nothing visible) is still taken.
#include "platform/fake/FakeHost.h"

namespace tevrano::test {

class FuzzTextSurface : public platform::FakeTextSurface {
 public:
  FuzzTextSurface() : FakeTextSurface(0, 0) {}
  platform::TextExtent Measure(std::string_view text) const override {
    const int size = Font().size / 5;
    const int cell = size * 6 / 10 > 1 ? size * 6 / 10 : 1;
    return {static_cast<int>(text.size()) * cell, size > 1 ? size : 1};
  }
};

}  // namespace tevrano::test
