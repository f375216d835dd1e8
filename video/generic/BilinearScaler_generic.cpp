// The scaler's inner loops on processors without a vector version.
#include "video/BilinearScaler.h"

namespace tevrano {

const ScalerKernels& CpuScalerKernels() {
  return PortableScalerKernels();
}

}  // namespace tevrano
