// The stream request: the "RK9P" module and the 256-byte request that asks
// the recorder to push its streams on the stream socket.
#include <cstring>

#include "base/ByteReader.h"
#include "net/RecorderNet.h"
#include "net/Scramble.h"

namespace tevrano {

namespace {
constexpr uint32_t kRequestSize = 256;
constexpr uint32_t kViewModeFilePlayback = 4;
constexpr uint32_t kVideoRequestIntervalMs = 500;
constexpr uint32_t kRk9pBufferSize = 1 << 20;
}  // namespace

// The request is a module message of its own: the module header, then the
// stream code as the first word of the body.
void RecorderNet::BuildStreamRequest(uint32_t code, uint8_t (&out)[256]) {
  std::memset(out, 0, sizeof out);
  StoreLe32(out + kModuleHeaderSize, code);
  FinishModuleMessage(out, kRequestSize, Tag("RK9P"));
}

// Registered once; after a loss it is "registered again" only if missing,
// so that repeated losses do not fill the module table.
void RecorderNet::RegisterRk9p() {
  if (modules_.Find(Tag("RK9P"))) return;
  if (!rk9pBuffer_) rk9pBuffer_ = std::make_unique<uint8_t[]>(kRk9pBufferSize);
  modules_.RegisterModule(
      Tag("RK9P"), [](const uint8_t*, uint32_t) {}, [](const void*) { return 0; },
      rk9pBuffer_.get(), kRk9pBufferSize);
}

void RecorderNet::RequestStream(int k, uint32_t code) {
  if (!streamSendBuffer_ || k < 0 || k > 1) return;
  uint8_t* frameBytes = streamSendBuffer_.get();
  uint8_t request[kRequestSize];
  BuildStreamRequest(code, request);
  std::memcpy(frameBytes + frame::kHeaderSize, request, kRequestSize);

  RecorderContext& c0 = contexts_[0];
  char credentials[kCredentialsSize];
  ScrambleText(c0.UserName, c0.Password, CalendarSeconds(), credentials);
  CommandFrameFields fields;
  fields.command = kCmdExchange;
  fields.sessionId = 0;
  fields.credentials = credentials;
  fields.contextIndex = 0;
  fields.socketIndex = frame::kStreamSocketIndex;
  WriteCommandFrameHeader(frameBytes, fields, kRequestSize);
  if (c0.StreamSocket[k])
    c0.StreamSocket[k]->Send(frameBytes, static_cast<int>(frame::kHeaderSize + kRequestSize));
  // The watchdog watches the stream from the request on, even when not a
  // byte of it ever arrives.
  link_.LastReceiveTime = NowMs() ? NowMs() : 1;
}

void RecorderNet::StreamRequestStep(RecorderContext& c) {
  if (c.LoginState != kLoginAssigned || c.LoggedIn != 1) return;
  if (hooks_.ViewMode && hooks_.ViewMode(c) == kViewModeFilePlayback) return;
  if (StreamsOnStreamSocket()) {
    if (link_.StreamState == 1) {
      link_.StreamState = 2;
      RequestStream(0, Tag("GVDO"));
      return;
    }
    const uint32_t now = NowMs();
    if (now - link_.LastVideoRequest >= kVideoRequestIntervalMs) {
      link_.LastVideoRequest = now;
      if (hooks_.RequestVideo) hooks_.RequestVideo(c.SessionId);
    }
    return;
  }
  // The recorder sends its streams over the command channel.
  if (hooks_.RequestVideo) hooks_.RequestVideo(c.SessionId);
}

}  // namespace tevrano
