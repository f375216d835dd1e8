#include <gtest/gtest.h>

#include <string>

#include "net/CommandFrame.h"
#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

AnswerScan Scan(const std::string& text, uint32_t capacity = 294912) {
  return ScanAnswer(reinterpret_cast<const uint8_t*>(text.data()),
                    static_cast<uint32_t>(text.size()), capacity);
}

TEST(AnswerFraming, TableOfHeaders) {
  struct Case {
    std::string text;
    AnswerScan::Result result;
    uint32_t contentLength;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", AnswerScan::Complete, 3},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab", AnswerScan::Incomplete, 3},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", AnswerScan::Complete, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1x2\r\n\r\n" + std::string(12, 'b'),
       AnswerScan::Complete, 12},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", AnswerScan::Incomplete, 0},
      {"HTTP/1.1 2", AnswerScan::Incomplete, 0},
      {"HTTP/1.1 404 Not Found\r\n\r\n", AnswerScan::Malformed, 0},
      {"GARBAGE", AnswerScan::Malformed, 0},
      {"HTTP/1.1 200 OK\r\nServer: x\r\n\r\n", AnswerScan::Malformed, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", AnswerScan::Malformed, 0},
      // The header ends at the first empty line, even right after the status.
      {"HTTP/1.1 200 OK\r\n\r\nContent-Length: 1\r\n\r\nx", AnswerScan::Malformed, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2", AnswerScan::Incomplete, 0},
  };
  for (const Case& c : cases) {
    const AnswerScan s = Scan(c.text);
    EXPECT_EQ(s.result, c.result) << c.text;
    if (c.result != AnswerScan::Malformed) EXPECT_EQ(s.contentLength, c.contentLength) << c.text;
  }
}

TEST(AnswerFraming, AnAnswerLargerThanTheBufferCanHoldIsMalformed) {
  EXPECT_EQ(Scan("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", 120).result,
            AnswerScan::Malformed);
  EXPECT_EQ(Scan("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", 120).result,
            AnswerScan::Incomplete);
}

TEST(AnswerFraming, AHeaderThatFillsTheBufferWithoutEndingIsMalformed) {
  const std::string text = "HTTP/1.1 200 OK\r\nX: " + std::string(100, 'y');
  EXPECT_EQ(Scan(text, static_cast<uint32_t>(text.size())).result, AnswerScan::Malformed);
  EXPECT_EQ(Scan(text, static_cast<uint32_t>(text.size()) + 1).result, AnswerScan::Incomplete);
}

TEST(CommandFrameRead, ShortLongOrUnmarkedFramesAreRefused) {
  using test::Frame;
  ReceivedFrame f;
  test::Bytes ok = Frame(kCmdAssign, 7);
  EXPECT_TRUE(ReadCommandFrame(ok.data(), uint32_t(ok.size()), f));
  EXPECT_EQ(f.sessionId, 7u);

  EXPECT_FALSE(ReadCommandFrame(ok.data(), 63, f));  // shorter than 64
  test::Bytes unmarked = ok;
  unmarked[4] = 'X';
  EXPECT_FALSE(ReadCommandFrame(unmarked.data(), uint32_t(unmarked.size()), f));
  test::Bytes longer = ok;
  test::Put32(longer, 0, 65);  // says more than the body holds
  EXPECT_FALSE(ReadCommandFrame(longer.data(), uint32_t(longer.size()), f));
  test::Bytes shorter = ok;
  test::Put32(shorter, 0, 40);
  EXPECT_FALSE(ReadCommandFrame(shorter.data(), uint32_t(shorter.size()), f));
}

}  // namespace
}  // namespace tevrano
