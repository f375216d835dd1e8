// The scaler's inner loops in plain C++: every CPU's build has them, the
// vector versions hand them their row ends, and the tests compare against them.
#include <cstring>

#include "video/BilinearScaler.h"

namespace tevrano {
namespace {

void BlendRows(const uint8_t* a, const uint8_t* b, unsigned f, int n, uint8_t* out) {
  if (f == 0) {
    std::memcpy(out, a, n);
    return;
  }
  const unsigned wa = 256 - f, wb = f;
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((wa * a[i] + wb * b[i]) >> 8);
}

int DoubleRow(const uint8_t* s, int src_w, uint8_t* out, int dst_w) {
  int k = 0;
  for (; 2 * k + 2 <= dst_w && k + 2 <= src_w; ++k) {
    out[2 * k] = s[k];
    out[2 * k + 1] = static_cast<uint8_t>((s[k] + s[k + 1]) >> 1);
  }
  return 2 * k;
}

const ScalerKernels kPortable{BlendRows, DoubleRow};

}  // namespace

const ScalerKernels& PortableScalerKernels() {
  return kPortable;
}

}  // namespace tevrano
