// Title files (".ttl") chosen by the user are untrusted: any bytes must load
// or be refused without reading or writing outside the file or the title
// set, the titles loaded must render, and a set that loaded must save and
// load again.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHost.h"
#include "tests/support/FuzzTextSurface.h"
#include "titles/ChannelTitles.h"

using namespace tevrano;

namespace {

struct Harness {
  TTevranoX form;
  platform::FakeHostServices host;
  platform::FakeFileSystem files;
  test::FuzzTextSurface measure, box;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  auto titles = std::make_unique<ChannelTitles>(h->form, h->host, h->files, h->measure, h->box);
  titles->Bind();
  h->files.AddFile("/t/in.ttl", std::vector<uint8_t>(data, data + size));
  if (!titles->LoadFile("/t/in.ttl")) return 0;
  titles->RedrawMarked();
  if (!titles->SaveFile("/t/out.ttl")) std::abort();
  auto again = std::make_unique<ChannelTitles>(h->form, h->host, h->files, h->measure, h->box);
  if (!again->LoadFile("/t/out.ttl")) std::abort();
  for (int c = 0; c < titles::kChannels; ++c)
    if (again->Title(c) != titles->Title(c)) std::abort();
  return 0;
}
