// 5. Heap allocations per picture in steady state over 1,000 pictures of the
// live path (decode + show), counted by an allocation hook: malloc, calloc,
// realloc, the aligned allocators and operator new are replaced in this
// program, and every call is charged to the code that made it (the
// control, linked into this program, or a shared library such as
// libavcodec) by its return address.
#include <dlfcn.h>
#include <execinfo.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "BenchSupport.h"
#include "base/Form.h"
#include "video/Video.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
extern char __executable_start;
extern char etext;
}

namespace {

struct Tally {
  unsigned long long calls = 0, bytes = 0, largest = 0, pictureSized = 0;
};
bool counting = false;
Tally own, libraries;
void* bigCallers[8];
size_t bigSizes[8];
// Smallest allocation that could hold a picture's luma plane.
constexpr size_t kPictureBytes = 352 * 288;

void Count(void* caller, size_t size) {
  if (!counting) return;
  const bool mine =
      caller >= static_cast<void*>(&__executable_start) && caller < static_cast<void*>(&etext);
  Tally& t = mine ? own : libraries;
  ++t.calls;
  t.bytes += size;
  if (size > t.largest) t.largest = size;
  if (size >= kPictureBytes) {
    if (t.pictureSized < 8) {
      counting = false;
      void* frames[8];
      const int n = backtrace(frames, 8);
      bigCallers[t.pictureSized] = n > 4 ? frames[4] : caller;
      bigSizes[t.pictureSized] = size;
      counting = true;
    }
    ++t.pictureSized;
  }
}

}  // namespace

extern "C" {
void* malloc(size_t n) {
  Count(__builtin_return_address(0), n);
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
  Count(__builtin_return_address(0), n * m);
  return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
  Count(__builtin_return_address(0), n);
  return __libc_realloc(p, n);
}
void free(void* p) {
  __libc_free(p);
}
void* memalign(size_t a, size_t n) {
  Count(__builtin_return_address(0), n);
  return __libc_memalign(a, n);
}
void* aligned_alloc(size_t a, size_t n) {
  Count(__builtin_return_address(0), n);
  return __libc_memalign(a, n);
}
int posix_memalign(void** p, size_t a, size_t n) {
  Count(__builtin_return_address(0), n);
  *p = __libc_memalign(a, n);
  return *p ? 0 : 12;
}
}

static void* NewCounted(void* caller, size_t n) {
  Count(caller, n);
  void* p = __libc_malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new(size_t n) {
  return NewCounted(__builtin_return_address(0), n);
}
void* operator new[](size_t n) {
  return NewCounted(__builtin_return_address(0), n);
}
void operator delete(void* p) noexcept {
  __libc_free(p);
}
void operator delete[](void* p) noexcept {
  __libc_free(p);
}
void operator delete(void* p, size_t) noexcept {
  __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept {
  __libc_free(p);
}

using namespace tevrano;
using namespace tevrano::bench;

int main() {
  const int pictures = 1000, distinct = 250, warmUp = distinct;
  const std::vector<Unit> units = Encode(704, 576, distinct, 25);

  TTevranoX form;
  form.Image_video.picture.SetSize(704, 576);
  form.Image2.picture.SetSize(704, 576);
  form.Image2.picture.Fill(0x00FFFFFF);
  Video video(form);
  video.Video_Decoder_Open(0);
  video.AllocateFrameBuffers();
  BenchContext context;
  video.SetContext(0, &context);
  video.SetMarkerRefresh([](int) {});

  auto feed = [&](int i) {
    const Unit& u = units[i % distinct];
    video.Video_Decode_Frame(u.bytes.data(), uint32_t(u.bytes.size()), 0);
  };
  for (int i = 0; i < warmUp; ++i) feed(i);
  void* frames[2];
  backtrace(frames, 2);  // loads what backtrace needs before counting
  counting = true;
  for (int i = warmUp; i < warmUp + pictures; ++i) feed(i);
  counting = false;

  std::printf("5. allocations over %d pictures of the live path (decode + show), steady state:\n",
              pictures);
  std::printf("   control's own code: %llu calls, %llu bytes (%.2f per picture)\n", own.calls,
              own.bytes, double(own.calls) / pictures);
  std::printf(
      "   libraries (libavcodec/libavutil): %.2f calls and %.0f bytes per picture, largest %llu "
      "bytes\n",
      double(libraries.calls) / pictures, double(libraries.bytes) / pictures, libraries.largest);
  std::printf("   allocations of %zu bytes or more (a picture's plane): %llu\n", kPictureBytes,
              own.pictureSized + libraries.pictureSized);
  for (unsigned long long i = 0; i < libraries.pictureSized && i < 8; ++i) {
    Dl_info info{};
    dladdr(bigCallers[i], &info);
    std::printf("   %zu bytes from %s+%#lx (%s)\n", bigSizes[i], info.dli_fname,
                (unsigned long)((char*)bigCallers[i] - (char*)info.dli_fbase),
                info.dli_sname ? info.dli_sname : "?");
  }
  std::printf("   pictures drawn: %llu\n", static_cast<unsigned long long>(video.PicturesShown()));
  return 0;
}
