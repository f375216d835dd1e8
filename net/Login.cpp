// The login exchange and the command channel: sending frames, taking the
// answers, handling received frames, polling and dispatching module
// messages.
#include <cstring>

#include "base/ByteReader.h"
#include "net/RecorderNet.h"
#include "net/Scramble.h"
#include "net/SendQueue.h"

namespace tevrano {

int RecorderNet::QueueMessage(RecorderContext& c, const uint8_t* message, uint32_t length) {
  return tevrano::QueueMessage(c, message, length);
}

int RecorderNet::SendCommand(uint32_t command, uint32_t sessionId, int context, int k) {
  if (context < 0 || uint32_t(context) >= kContexts || k < 0 || uint32_t(k) >= kCommandSockets)
    return -1;
  RecorderContext& c = contexts_[context];
  if (c.AwaitingAnswer[k]) return -1;
  // A frame for a socket that is not connected would be lost, and its
  // AwaitingAnswer would block the socket for a minute.
  if (!c.CommandConnected(k)) return -1;
  if (c.LoginState == kLoginNone) c.LoginState = kLoginHelloSent;

  if (command == kCmdPoll) {
    StreamRequestStep(c);
    command = kCmdExchange;
  }
  uint32_t payload = 0;
  if (command == kCmdHello || command == kCmdAssign || command == kCmd4) {
    EmptySendRing(c);
  } else if (c.SendRing && !c.SendRing->Empty()) {
    payload = TakeBatch(c, frame_ + frame::kHeaderSize);
  }

  char credentials[kCredentialsSize];
  ScrambleText(c.UserName, c.Password, CalendarSeconds(), credentials);
  CommandFrameFields fields;
  fields.command = command;
  fields.sessionId = sessionId;
  fields.credentials = credentials;
  fields.contextIndex = static_cast<uint32_t>(context);
  fields.socketIndex = static_cast<uint32_t>(k);
  WriteCommandFrameHeader(frame_, fields, payload);

  c.AwaitingAnswer[k] = 1;
  c.SentAt[k] = elapsedTicks_();
  c.CommandSocket[k]->Send(frame_, static_cast<int>(frame::kHeaderSize + payload));
  return 0;
}

void RecorderNet::TakeAnswers() {
  for (RecorderContext& c : contexts_)
    for (int k = 0; k < int(kCommandSockets); ++k)
      if (c.CommandConnected(k)) ProcessAnswers(c, k);
}

void RecorderNet::ProcessAnswers(RecorderContext& c, int k) {
  ReceiveBuffer& buffer = c.CommandReceiveBuffer[k];
  if (!buffer.Base || buffer.Fill == 0) return;
  const AnswerScan scan = ScanAnswer(buffer.Base.get(), buffer.Fill, buffer.Capacity);
  if (scan.result == AnswerScan::Incomplete) return;
  if (scan.result == AnswerScan::Malformed) {
    // Bytes that can never make an answer would block the socket for ever:
    // drop them and close the socket, whose reconnect starts afresh.
    buffer.Fill = 0;
    if (c.CommandSocket[k]) c.CommandSocket[k]->SetActive(false);
    return;
  }
  c.AwaitingAnswer[k] = 0;
  const uint32_t consumed = scan.headerLength + scan.contentLength;
  ByteReader answer(buffer.Base.get(), buffer.Fill);
  std::span<const uint8_t> body;
  if (answer.Skip(scan.headerLength) && answer.Span(scan.contentLength, body) && !body.empty())
    HandleCommandFrame(body.data(), static_cast<uint32_t>(body.size()));
  // Handling may have reset the context and emptied this buffer: read the
  // fill again before keeping the bytes that follow.
  if (buffer.Fill >= consumed) {
    std::memmove(buffer.Base.get(), buffer.Base.get() + consumed, buffer.Fill - consumed);
    buffer.Fill -= consumed;
  } else {
    buffer.Fill = 0;
  }
}

void RecorderNet::HandleCommandFrame(const uint8_t* body, uint32_t bodyLength) {
  ReceivedFrame f;
  if (!ReadCommandFrame(body, bodyLength, f)) return;
  // Indexes from the wire name one of our two contexts or nothing.
  if (f.contextIndex >= kContexts) return;
  switch (f.command) {
    case kCmdAssign: {
      RecorderContext& c = contexts_[f.contextIndex];
      const uint32_t n = f.sessionId;
      const bool carried = n != 0 && FindBySession(n) != nullptr;
      c.SessionId = n;
      c.LoggedIn = 0;
      if (carried) {
        c.LoginState = kLoginNone;
        SendCommand(kCmdHello, n, static_cast<int>(f.contextIndex), 0);
      } else {
        c.LoginState = kLoginAssigned;
        if (n != 0) SendSystemMessage(n, 0);
      }
      return;
    }
    case kCmdHello:
      PeerHello(f.sessionId, f.contextIndex);
      return;
    case kCmdPoll:
    case kCmdReply:
    case kCmdExchange:
      if (!FindBySession(f.sessionId)) {
        PeerHello(0, f.contextIndex);
        return;
      }
      if (f.command != kCmdPoll)
        DispatchModuleMessages(f.sessionId, f.payload.data(), uint32_t(f.payload.size()));
      return;
    default:
      return;
  }
}

// A peer asks for a number (the recorder's side of the hello).
void RecorderNet::PeerHello(uint32_t number, uint32_t contextIndex) {
  RecorderContext* target = nullptr;
  if (number != 0) {
    target = FindBySession(number);
  } else {
    for (RecorderContext& c : contexts_)
      if (c.LoggedIn == 0) {
        target = &c;
        break;
      }
  }
  if (!target) return;
  const uint32_t base = CalendarSeconds();
  uint32_t fresh = base;
  for (uint32_t offset = 0; offset < 1000; ++offset)
    if (!FindBySession(base + offset)) {
      fresh = base + offset;
      break;
    }
  target->LoggedIn = 1;
  target->SessionId = fresh;
  std::memset(target->UserName, 0, sizeof target->UserName);
  std::memset(target->Password, 0, sizeof target->Password);
  target->Zell->Kind = 0;
  if (hooks_.PeerAdmitted) hooks_.PeerAdmitted(*target);
  EmptySendRing(*target);
  target->CommandReceiveBuffer[0].Fill = 0;
  target->CommandReceiveBuffer[1].Fill = 0;
  SendCommand(kCmdAssign, fresh, static_cast<int>(contextIndex), 0);
}

void RecorderNet::PollRecorder(RecorderContext& c) {
  if (c.LoginState == kLoginNone && c.CommandConnected(0) && c.Index == 0)
    SendCommand(kCmdHello, c.SessionId, static_cast<int>(c.Index), 0);

  const Ticks now = elapsedTicks_();
  for (int k = 0; k < int(kCommandSockets); ++k)
    if (c.AwaitingAnswer[k] && TicksSince(now, c.SentAt[k]) >= kAnswerTimeout)
      c.AwaitingAnswer[k] = 0;

  if (c.LoginState != kLoginAssigned) return;
  const uint32_t queued = c.SendRing ? c.SendRing->Used() : 0;
  for (int k = 0; k < int(kCommandSockets); ++k) {
    if (!c.CommandConnected(k)) continue;
    if (queued) {
      SendCommand(kCmdExchange, c.SessionId, static_cast<int>(c.Index), k);
    } else if (SendCommand(kCmdPoll, c.SessionId, static_cast<int>(c.Index), k) == 0 &&
               StreamsOnStreamSocket()) {
      // Video over the command channel is spread over both connections:
      // each is polled, or the packets waiting on the second would hold
      // back the whole stream.
      break;
    }
  }
}

int RecorderNet::DispatchModuleMessages(uint32_t sessionId, const uint8_t* bytes, uint32_t length) {
  RecorderContext* c = FindBySession(sessionId);
  if (!c) return -1;
  const int index = static_cast<int>(c->Index);
  modules_.DispatchMessages(ByteReader(bytes, length));
  return index;
}

}  // namespace tevrano
