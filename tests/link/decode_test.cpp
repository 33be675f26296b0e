// The frame decoder behind the traffic monitor: every request and reply the program exchanges,
// the controller's refusals, and frames that are dropped, with the reason the operator reads.
#include <gtest/gtest.h>

#include "frames/decode.h"
#include "frames/frames.h"
#include "frames/reply.h"

using namespace lorvane;

namespace {

struct Case {
  const char* what;
  QByteArray frame;
  bool sent;
  QByteArray request;  // the request a reply answers, where known
  QString text;
  int address;
  int count;
};

TEST(Decode, EveryFunctionAndRefusalTheProgramUses) {
  const Case cases[] = {
      {"read one register", buildFrame("010310250001"), true, {}, "03 读寄存器 1025，1个", 0x1025, 1},
      {"read a register pair", buildFrame("010310640002"), true, {}, "03 读寄存器 1064，2个", 0x1064, 2},
      {"reply of one register", buildFrame("0103029C40"), false, "010310DE0001", "03 读回复 10DE，1个：40000", 0x10DE, 1},
      {"reply of a pair, low word first, signed", buildFrame("010304F6CEFFFE"), false, "010310660002",
       "03 读回复 1066，2个：-67890（F6CE FFFE）", 0x1066, 2},
      {"reply whose request is not known", buildFrame("0103020007"), false, {}, "03 读回复 1个：7", -1, 0},
      {"reply that does not fit the request", buildFrame("0103020007"), false, "010310640002", "03 读回复 1个：7", -1, 0},
      {"write one register", buildFrame("011010DE0001029C40"), true, {}, "10 写寄存器 10DE，1个：40000", 0x10DE, 1},
      {"write a register pair", buildFrame("0110106400020430390000"), true, {}, "10 写寄存器 1064，2个：12345（3039 0000）",
       0x1064, 2},
      {"write acknowledged", buildFrame("011010DE0001"), false, "011010DE0001029C40", "10 写确认 10DE，1个", 0x10DE, 1},
      {"coil ON", buildFrame("01050801FF00"), true, {}, "05 写线圈 0801 ON", 0x0801, 1},
      {"coil OFF acknowledged", buildFrame("010508010000"), false, "010508010000", "05 线圈确认 0801 OFF", 0x0801, 1},
      {"exception 01", buildFrame("018301"), false, "010310250001", "83 异常回复：01 非法功能", -1, 0},
      {"exception 02", buildFrame("019002"), false, {}, "90 异常回复：02 非法数据地址", -1, 0},
      {"exception 03", buildFrame("018503"), false, {}, "85 异常回复：03 非法数据值", -1, 0},
      {"exception 04", buildFrame("018304"), false, {}, "83 异常回复：04 从站设备故障", -1, 0},
      {"exception the program does not know", buildFrame("01830B"), false, {}, "83 异常回复：0B 未知异常", -1, 0},
      {"lower-case hex", buildFrame("0103020007").toLower(), false, {}, "03 读回复 1个：7", -1, 0},
      {"byte count beyond the data", buildFrame("01030400070000").left(13) + "\r\n", false, {}, "03 读回复，长度不符", -1, 0},
      {"write whose count and data disagree", buildFrame("011010DE000204"), true, {}, "10 写寄存器，长度不符", -1, 0},
      {"a reply with a wrong LRC still shows what it carries", ":0103020007F4\r\n", false, {}, "03 读回复 1个：7", -1, 0},
      {"not a frame at all", "garbage\r\n", false, {}, "", -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FrameMeaning m = decodeFrame(c.frame, c.sent, c.request);
    EXPECT_EQ(m.text, c.text);
    EXPECT_EQ(m.address, c.address);
    EXPECT_EQ(m.count, c.count);
  }
}

TEST(Decode, TimeOutNotesNameTheRequest) {
  EXPECT_EQ(decodeRequest("010310640002").text, "03 读寄存器 1064，2个");
  EXPECT_EQ(decodeRequest("0105080A0000").text, "05 写线圈 080A OFF");
  EXPECT_EQ(decodeRequest("011010DE0001029C40").address, 0x10DE);
}

TEST(Decode, MalformedFramesSayWhyAndAgreeWithTheFrameCheck) {
  const struct {
    QByteArray frame;
    QString reason;
  } cases[] = {
      {buildFrame("0103020007"), ""},
      {buildFrame("0103020007").toLower(), ""},
      {buildFrame("018302"), ""},
      {":0103020007F3", "帧不完整"},                // no CR LF
      {"0103020007F3\r\n", "帧不完整"},             // no ":"
      {":0103020007F\r\n", "帧不完整"},             // a character lost
      {":\r\n", "帧太短"},
      {":0103FC\r\n", "帧太短"},                    // right LRC, but no data
      {":01030200G7F3\r\n", "含非十六进制字符"},
      {":0103020007F4\r\n", "LRC校验错误"},
      {buildFrame("0203020007"), "不是从站01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frame.toStdString());
    EXPECT_EQ(malformedReason(c.frame), c.reason);
    EXPECT_EQ(isWellFormed(c.frame), c.reason.isEmpty());
  }
}

}  // namespace
