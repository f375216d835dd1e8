// Writes the seed inputs of the fuzz targets that start from our own bytes:
// each made by the control's own code (items, title files and pieces,
// settings pages and BMP files as the control writes them) and put into the
// target's input layout. Usage: tevrano_fuzz_seeds CORPUS_FOLDER
// (fuzz/corpus); each target's seeds go to CORPUS_FOLDER/<Target>/seed-*.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/BmpFile.h"
#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHost.h"
#include "settings/SettingsPages.h"
#include "tests/support/NetRig.h"
#include "tests/support/StreamRig.h"
#include "titles/ChannelTitles.h"
#include "update/FirmwareImage.h"
#include "update/Unit1.h"
#include "view/IcmdModule.h"

using namespace tevrano;
using Bytes = std::vector<uint8_t>;

namespace {

std::filesystem::path root;

void Write(const char* target, const char* name, const Bytes& bytes) {
  const std::filesystem::path folder = root / target;
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / (std::string("seed-") + name), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Append16(Bytes& out, size_t n) {
  out.push_back(uint8_t(n));
  out.push_back(uint8_t(n >> 8));
}
void Append32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
// A body behind its 2-byte length.
void AppendBody(Bytes& out, const Bytes& body) {
  Append16(out, body.size());
  out.insert(out.end(), body.begin(), body.end());
}

// The module messages queued on a context, as bodies (headers taken off).
std::vector<Bytes> TakeBodies(RecorderContext& c) {
  std::vector<Bytes> bodies;
  Bytes queued(c.SendRing->Used());
  c.SendRing->Peek(queued.data(), uint32_t(queued.size()));
  EmptySendRing(c);
  for (size_t at = 0; queued.size() - at >= kModuleHeaderSize;) {
    const uint32_t n = LoadLe32(queued.data() + at);
    if (n < kModuleHeaderSize || n > queued.size() - at) break;
    bodies.emplace_back(queued.begin() + long(at + kModuleHeaderSize),
                        queued.begin() + long(at + n));
    at += n;
  }
  return bodies;
}

// ---- Named items: the control's own item writes ----

void NamedItemSeeds() {
  test::NetRig rig;
  auto item = [&rig](const char* name, const Bytes& data) {
    RecorderContext& c = rig.net.Context(0);
    c.SendRing->Clear();
    c.SendLengthLog.Reset();
    rig.items.Item_Send(0, name, data.data(), uint32_t(data.size()), 1);
    Bytes queued(c.SendRing->Used());
    c.SendRing->Peek(queued.data(), uint32_t(queued.size()));
    return Bytes(queued.begin() + kModuleHeaderSize, queued.end());
  };
  Bytes live(96, 0);
  StoreLe32(live.data() + 72, 0x0005);  // alarm on cameras 1 and 3
  StoreLe32(live.data() + 76, 850000000);
  StoreLe32(live.data() + 80, 0x0100);  // motion on camera 9
  StoreLe32(live.data() + 84, 850000000);
  StoreLe32(live.data() + 88, 0x8000);  // video loss on camera 16
  StoreLe32(live.data() + 92, 850000001);
  Bytes mach(960, 0);
  StoreLe32(mach.data() + 8, 1);
  StoreLe32(mach.data() + 12, 1);
  Bytes upnp(4), ack(4), watermark(4);
  StoreLe32(upnp.data(), 0x80001F90);
  StoreLe32(ack.data(), 1);
  StoreLe32(watermark.data(), 0x57A70003);
  const struct {
    const char* seed;
    const char* name;
    const Bytes& data;
  } items[] = {{"live-event", "Zell_LIVE_Event_W", live},
               {"mach-type", "Zell_Mach_Type_Data_R", mach},
               {"upnp", "Zell_Upnp_C_Data_R", upnp},
               {"ack", "Zell_ACK_R", ack},
               {"watermark", "Zell_Watermark_Var_R", watermark}};
  Bytes all{1};
  for (const auto& i : items) {
    Bytes one{1};
    const Bytes body = item(i.name, i.data);
    AppendBody(one, body);
    AppendBody(all, body);
    Write("NamedItemsFuzzer", i.seed, one);
  }
  Write("NamedItemsFuzzer", "all", all);
}

// ---- Title files and the title exchange ----

struct TitleRig {
  TTevranoX form;
  platform::FakeHostServices host;
  platform::FakeFileSystem files;
  platform::FakeTextSurface measure{0, 0}, box{0, 0};
  ChannelTitles titles{form, host, files, measure, box};
  std::vector<Bytes> sent;  // bodies queued
  TitleRig() {
    files.AddFolder("/t");
    titles.Bind();
    ChannelTitles::Hooks& h = titles.GetHooks();
    h.queue = [this](const uint8_t* m, uint32_t n) {
      sent.emplace_back(m + kModuleHeaderSize, m + n);
      return 0;
    };
    h.handle = [] { return 77u; };
    h.connected = [] { return true; };
    h.tabShowing = [] { return true; };
  }
};

void TitleSeeds() {
  // Files: the default set, and one with a title on every channel.
  {
    TitleRig a;
    a.titles.SaveFile("/t/default.ttl");
    Write("TitleFileFuzzer", "default", *a.files.Contents("/t/default.ttl"));
    for (int c = 0; c < titles::kChannels; ++c)
      a.titles.SetTitle(c, "Camera " + std::to_string(c + 1));
    a.form.ComboBox_Title.SetItemIndex(3);
    a.titles.ComboBox_TitleChange();
    a.form.Edit_TFS.SetText("80");
    a.titles.Edit_TFSChange();
    a.titles.SaveFile("/t/named.ttl");
    Write("TitleFileFuzzer", "named", *a.files.Contents("/t/named.ttl"));
  }
  // The exchange between two viewers: `fetch` fetches what `offer` offers,
  // each handing the other what it queued. What `fetch` receives is the
  // recorder's side of a fetch; what `offer` receives, of an offer.
  TitleRig fetch, offer;
  offer.titles.SetTitle(0, "Gate");
  offer.titles.SetTitle(7, "Yard");
  offer.titles.Apply();
  offer.titles.ThreeHundredMsStep();  // the first piece of the record
  fetch.titles.LoadTitles();
  fetch.titles.ThreeHundredMsStep();  // the request for the whole record
  std::vector<Bytes> toFetch, toOffer;
  // The whole record answers the fetch's first request.
  offer.titles.Receive(fetch.sent[0].data(), uint32_t(fetch.sent[0].size()));
  fetch.sent.clear();
  for (int round = 0; round < 400 && !(offer.sent.empty() && fetch.sent.empty()); ++round) {
    for (Bytes& b : offer.sent) {
      toFetch.push_back(b);
      fetch.titles.Receive(b.data(), uint32_t(b.size()));
    }
    offer.sent.clear();
    for (Bytes& b : fetch.sent) {
      toOffer.push_back(b);
      offer.titles.Receive(b.data(), uint32_t(b.size()));
    }
    fetch.sent.clear();
  }
  // The first few messages and the last of each side.
  auto seed = [](uint8_t control, const std::vector<Bytes>& bodies, size_t first) {
    Bytes out{control};
    for (size_t i = 0; i < bodies.size(); ++i)
      if (i < first || i + 1 == bodies.size()) AppendBody(out, bodies[i]);
    return out;
  };
  Write("TitleAnswersFuzzer", "fetch", seed(0, toFetch, 6));
  Write("TitleAnswersFuzzer", "offer", seed(1, toOffer, 6));
  std::printf("title exchange: %zu messages to the fetching viewer, %zu to the offering one\n",
              toFetch.size(), toOffer.size());
}

// ---- Settings pages ----

constexpr uint32_t kSettingsSession = 0x03000000u;

struct SettingsRig : test::StreamRig {
  IcmdModule icmd{contexts};
  platform::FakeHostServices host;
  uint32_t upnp = 0;
  SettingsPages settings{form, host, icmd.View(0), upnp};
  SettingsRig() : StreamRig(kSettingsSession) {
    for (int i = 0; i < 2; ++i) ctx[i].LoggedIn = 1;
    icmd.GetHooks().buildSettingsPage = [this](ViewState& v, uint32_t mask, uint8_t* out,
                                               uint32_t room) {
      return settings.BuildPage(v, mask, out, room);
    };
    settings.GetHooks().sendPage = [this](uint32_t operation, uint32_t mask) {
      return icmd.SendIcmd(ctx[0].SessionId, operation, IcmdModule::kSettingsPage, mask);
    };
    settings.GetHooks().connected = [] { return true; };
    settings.Bind();
    settings.ClearInputFields();
  }
};

Bytes SystemInfo(uint32_t variant, const char* model) {
  Bytes info(system_info::kSize, 0);
  StoreLe32(info.data(), 16);
  StoreLe32(info.data() + 4, variant);
  StoreLe32(info.data() + 8, 1);
  std::strcpy(reinterpret_cast<char*>(info.data() + 12), "[OS] 1.0.7_20260101");
  std::strcpy(reinterpret_cast<char*>(info.data() + 44), "[SN] 0001");
  std::strcpy(reinterpret_cast<char*>(info.data() + 76), "[B] 4");
  std::strcpy(reinterpret_cast<char*>(info.data() + 108), model);
  StoreLe32(info.data() + system_info::kConnections, 1);
  return info;
}

void SettingsSeeds() {
  SettingsRig rig;
  TTevranoX& f = rig.form;
  const Bytes info = SystemInfo(0, "[N] 7104");
  rig.settings.SystemInfoArrived(info.data(), uint32_t(info.size()));
  f.ComboBox_bitrate.SetItemIndex(3);
  f.ComboBox_pppoe1.SetItemIndex(1);
  f.LabeledEdit_pppoe2.SetText("dialup-user");
  f.LabeledEdit_pppoe3.SetText("dialup-secret");
  f.ComboBox_ddns1.SetItemIndex(2);
  f.LabeledEdit_ddns2.SetText("ddns-user");
  f.LabeledEdit_ddns3.SetText("ddns-secret");
  f.LabeledEdit_ddns4.SetText("recorder.example.net");
  f.LabeledEdit_smtp1.SetText("mail.example.net");
  f.LabeledEdit_smtp10.SetText("25");
  f.LabeledEdit_smtp2.SetText("guard@example.net");
  f.LabeledEdit_smtp3.SetText("mail-secret");
  f.LabeledEdit_smtp4.SetText("desk@example.net");
  // The pages as the control sends them (sets), each an "ICMD" body.
  std::vector<Bytes> pages;
  for (int tab = 1; tab <= 4; ++tab) {
    rig.settings.Apply(tab);
    for (Bytes& b : TakeBodies(rig.ctx[0])) pages.push_back(std::move(b));
  }
  auto item = [](Bytes& out, uint8_t kind, const Bytes& bytes) {
    out.push_back(kind);
    AppendBody(out, bytes);
  };
  const char* names[] = {"bitrate", "pppoe", "ddns", "mail1", "mail2"};
  Bytes all;
  item(all, 1, info);
  for (size_t i = 0; i < pages.size(); ++i) {
    Bytes one;
    item(one, 0, pages[i]);
    if (i < std::size(names)) Write("SettingsPagesFuzzer", names[i], one);
    item(all, 0, pages[i]);
  }
  Bytes upnp(4);
  StoreLe32(upnp.data(), 0x80001F90);
  item(all, 2, upnp);
  for (uint8_t tab = 0; tab < 8; ++tab) item(all, 3, Bytes{tab, 1});
  item(all, 3, Bytes{4, 2});
  item(all, 3, Bytes{2, 3});
  Write("SettingsPagesFuzzer", "all", all);
  Bytes variant;
  const Bytes info1 = SystemInfo(1, "[N] 6104");
  item(variant, 1, info1);
  item(variant, 3, Bytes{3, 0});
  Write("SettingsPagesFuzzer", "variant1", variant);
  std::printf("settings: %zu pages\n", pages.size());
}

// ---- Firmware images ----

// A recorder image: a byte pattern with the marker at 0x80000 and the
// version text after it.
Bytes Image(size_t size, const char* version) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + i / 251);
  const size_t at = size_t(firmware::kMarkerSearchStart);
  StoreLe32(bytes.data() + at, firmware::kMarker);
  std::memset(bytes.data() + at + 4 + firmware::kVersionGap, 0, firmware::kVersionBytes);
  std::memcpy(bytes.data() + at + 4 + firmware::kVersionGap, version, std::strlen(version));
  return bytes;
}

// Script answers: whole 4-byte words.
void Answer(Bytes& script, uint32_t value) {
  script.push_back(4);
  Append32(script, value);
}

// Control byte, script, image bytes from `from` on.
Bytes FirmwareSeed(uint8_t control, const Bytes& script, const Bytes& image, size_t from) {
  Bytes out{control};
  AppendBody(out, script);
  out.insert(out.end(), image.begin() + long(from), image.end());
  return out;
}

void FirmwareSeeds() {
  const size_t from = size_t(firmware::kMarkerSearchStart) - 32;
  const Bytes image = Image(from + 32 + 3000, "DVR 1.0.8_20261201");
  const uint32_t chunks =
      uint32_t((image.size() + TForm_Update::kChunkSize - 1) / TForm_Update::kChunkSize);
  // The whole upload, chunk after chunk, then the write.
  Bytes whole;
  Answer(whole, 1);
  for (uint32_t k = 1; k <= chunks; ++k) Answer(whole, k);
  Answer(whole, 40);
  Answer(whole, 100);
  Write("FirmwareImageFuzzer", "upload", FirmwareSeed(1, whole, image, from));
  // The version refused.
  Bytes refused;
  Answer(refused, TForm_Update::kVersionRefused);
  Write("FirmwareImageFuzzer", "refused", FirmwareSeed(1, refused, image, from));
  // Answers in pieces, a chunk asked for twice, then the connection lost.
  Bytes pieces{2, 1, 0, 7, 2, 0, 0};
  Answer(pieces, 3);
  Answer(pieces, 3);
  pieces.push_back(1);
  pieces.push_back(2);
  pieces.push_back(5);
  Write("FirmwareImageFuzzer", "pieces", FirmwareSeed(1, pieces, image, from));
  // The marker across the first block of the search.
  const Bytes far = [] {
    Bytes b(0x90000 + 64);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i * 13);
    StoreLe32(b.data() + 0x90000, firmware::kMarker);
    std::memcpy(b.data() + 0x90000 + 15, "ROM 2.0_1", 9);
    return b;
  }();
  Write("FirmwareImageFuzzer", "far-marker", FirmwareSeed(2, refused, far, 0x90000 - 32));
  // A small file straight to the dialog: three chunks, the last one short.
  Bytes small(2 * TForm_Update::kChunkSize + 100);
  for (size_t i = 0; i < small.size(); ++i) small[i] = uint8_t(i);
  Bytes three;
  Answer(three, 1);
  for (uint32_t k = 1; k <= 3; ++k) Answer(three, k);
  Answer(three, 100);
  Write("FirmwareImageFuzzer", "small", FirmwareSeed(8, three, small, 0));
}

// ---- BMP pictures as the control saves them ----

void BmpSeeds() {
  const struct {
    const char* name;
    int width, height;
  } pictures[] = {{"1x1", 1, 1}, {"3x2", 3, 2}, {"17x5", 17, 5}};
  for (const auto& p : pictures) {
    Bitmap picture(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) picture.Row(y)[x] = uint32_t(x * 0x10305 + y * 0x2010);
    Write("BmpFuzzer", p.name, EncodeBmp(picture));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  root = argv[1];
  NamedItemSeeds();
  TitleSeeds();
  SettingsSeeds();
  FirmwareSeeds();
  BmpSeeds();
  return 0;
}
