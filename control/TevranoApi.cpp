#include "control/TevranoApi.h"

#include <cstring>

#include "control/TevranoImpl1.h"
#include "control/TypeLibrary.h"

namespace {
// How often the start-up sequence ran in this process.
int gStartUpCount = 0;
// The live controls (the framework's object count).
int gObjectCount = 0;
tevrano::TevranoX* gControl = nullptr;

tevrano::TevranoX* Control(TevranoXHandle* handle) {
  return reinterpret_cast<tevrano::TevranoX*>(handle);
}
}  // namespace

extern "C" {

TevranoXHandle* TevranoX_Create(void* platform) {
  if (!platform) return nullptr;
  auto* control =
      new tevrano::TevranoX(*static_cast<tevrano::platform::Platform*>(platform), &gStartUpCount);
  control->ActiveFormCreate();
  ++gObjectCount;
  gControl = control;
  return reinterpret_cast<TevranoXHandle*>(control);
}

int32_t TevranoX_PutProperty(TevranoXHandle* handle, int32_t dispid, const TevranoVariantIn* value) {
  if (!handle || !value) return tevrano::kEInvalidArg;
  tevrano::Variant v;
  v.vt = value->vt;
  v.intVal = value->intVal;
  if (value->vt == tevrano::Variant::kBstr) v.str = value->str ? value->str : "";
  return Control(handle)->PutProperty(dispid, v);
}

int32_t TevranoX_GetProperty(TevranoXHandle* handle, int32_t dispid, uint16_t* vt, int32_t* intVal,
                             char* text, size_t textSize) {
  if (!handle) return tevrano::kEInvalidArg;
  tevrano::Variant v;
  int32_t hr = Control(handle)->GetProperty(dispid, v);
  if (hr != tevrano::kSOk) return hr;
  if (vt) *vt = v.vt;
  if (intVal) *intVal = v.intVal;
  if (text && textSize > 0) {
    size_t n = v.str.size() < textSize - 1 ? v.str.size() : textSize - 1;
    std::memcpy(text, v.str.data(), n);
    text[n] = 0;
  }
  return tevrano::kSOk;
}

void TevranoX_Timer(TevranoXHandle* handle) {
  if (handle) Control(handle)->Timer1Timer();
}

int TevranoX_TimerEnabled(TevranoXHandle* handle) {
  return handle && Control(handle)->Form().Timer1.enabled ? 1 : 0;
}

void* TevranoX_Form(TevranoXHandle* handle) { return handle ? &Control(handle)->Form() : nullptr; }
void* TevranoX_Object(TevranoXHandle* handle) { return handle ? Control(handle) : nullptr; }

const void* TevranoX_TypeLibrary(void) { return &tevrano::TevranoTypeLibrary(); }

int32_t DllCanUnloadNow(void) {
  if (gControl) gControl->PrepareUnload();
  return gObjectCount == 0 ? tevrano::kSOk : tevrano::kSFalse;
}

}  // extern "C"
