#include <gtest/gtest.h>

#include "frames/frames.h"

using namespace lorvane;

TEST(Lrc, WorkedExamplesAndBoundaries) {
  struct Case { const char* body; const char* lrc; const char* frame; };
  const Case cases[] = {
      {"010310DE0001", "D", ":010310DE00010D\r\n"},             // sum 243: one digit, padded
      {"011010DE0001020064", "9A", ":011010DE00010200649A\r\n"},  // writing 100
      {"01050838FF00", "BB", nullptr},                           // output test coil on
      {"011010F0000204FF6AFFFF", "82", nullptr},                 // -150 into a pair
      {"FF01", "0", nullptr},                                    // sum 256 -> "100" -> "00"
      {"FF", "1", ":FF01\r\n"},                                  // sum 255 is not reduced
      {"F0", "10", nullptr},
      {"00", "0", ":0000\r\n"},  // sum 0: "100" cut to "00"
  };
  for (const Case& c : cases) {
    QString want = QString::fromLatin1(c.lrc);
    if (want == QLatin1String("0")) want = QStringLiteral("00");
    EXPECT_EQ(lrcHex(c.body), want) << c.body;
    if (c.frame) {
      EXPECT_EQ(buildFrame(c.body), QByteArray(c.frame)) << c.body;
    }
  }
}

TEST(Encoding, WordsAndPairs) {
  EXPECT_EQ(hexWord(0), "0000");
  EXPECT_EQ(hexWord(65535), "FFFF");
  EXPECT_EQ(hexWord(4095), "0FFF");
  EXPECT_EQ(hexWord(100), "0064");
  EXPECT_EQ(hexWord(12.5), "000C");  // ties to even
  EXPECT_EQ(hexWord(13.5), "000E");
  EXPECT_EQ(hexWord(1.8 * 100), "00B4");
  EXPECT_EQ(hexLongLowFirst(65536), "00000001");
  EXPECT_EQ(hexLongLowFirst(-1), "FFFFFFFF");
  EXPECT_EQ(hexLongLowFirst(-65537), "FFFFFFFE");
  EXPECT_EQ(hexLongLowFirst(-150), "FF6AFFFF");
  EXPECT_EQ(writeLongBody(0x10F0, hexLongLowFirst(-150)), "011010F0000204FF6AFFFF");
  EXPECT_EQ(coilBody(0x0838, true), "01050838FF00");
  EXPECT_EQ(readBody(0x10DE, 1), "010310DE0001");
}

TEST(Encoding, ReplyValues) {
  EXPECT_EQ(replyWord(":010302006496\r\n"), 100);
  EXPECT_EQ(replyWord(":0103020FFFF\r\n"), 0x0FFF);  // reads hex digits from the left
  EXPECT_EQ(replyWord(":01030200FFFF00\r\n"), 0x00FF);
  EXPECT_EQ(replyWord(":01030400FF\r\n"), 0xFF);      // stops at the first non-hex character
  EXPECT_EQ(replyWord(":0103"), 0);
  EXPECT_EQ(replyLong(":01030400000001F7\r\n"), 65536);
  EXPECT_EQ(replyLong(":010304FF6AFFFF93\r\n"), -150);
  EXPECT_EQ(replyWord(":010302FFFFFC\r\n"), 65535);
}

TEST(OperatorNumbers, LeadingAndPlain) {
  struct Case { const char* text; double leading; bool plain; };
  const Case cases[] = {
      {"12abc", 12, false}, {"abc", 0, false}, {"", 0, false},     {" 40000 ", 40000, true},
      {"-1", -1, true},     {"+5", 5, true},   {"1.8", 1.8, true}, {".5", 0.5, true},
      {"1.2.3", 1.2, false}, {"70000abc", 70000, false}, {"- 5", 0, false}, {"1e3", 1, false},
  };
  for (const Case& c : cases) {
    const QString text = QString::fromUtf8(c.text);
    EXPECT_DOUBLE_EQ(leadingNumber(text), c.leading) << c.text;
    EXPECT_EQ(plainNumber(text).has_value(), c.plain) << c.text;
  }
  // Full-width digits, sign, point and the ideographic space are what a Chinese IME types.
  EXPECT_EQ(plainNumber(QStringLiteral("\u3000１２．５")), 12.5);
  EXPECT_EQ(leadingNumber(QStringLiteral("－３ｍｍ")), -3);
}

TEST(OperatorNumbers, ScaledByMovingThePoint) {
  // Exact where a double product is not: 0.29 * 100 = 28.999999999999996, 1.015 * 100 = 101.49999999999999.
  struct Case { const char* text; int scale; double value; };
  const Case cases[] = {{"0.29", 100, 29},  {"1.015", 100, 101.5}, {"+.5", 10, 5},      {"5.", 1000, 5000},
                        {"-1.5", 100, -150}, {"12", 1, 12},        {"0.0005", 1000, 0.5}, {" ０.２９ ", 100, 29}};
  for (const Case& c : cases) {
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(plainNumber(text, c.scale), c.value) << c.text;
    EXPECT_EQ(leadingNumber(text + QStringLiteral("mm"), c.scale), c.value) << c.text;
  }
}

TEST(OperatorNumbers, ScaledText) {
  struct Case { long long raw; int div; const char* text; };
  const Case cases[] = {{1234, 100, "12.34"}, {50, 100, "0.5"},   {-5, 100, "-0.05"}, {-150, 100, "-1.5"},
                        {0, 100, "0"},        {180, 100, "1.8"},  {90, 100, "0.9"},   {5000, 1000, "5"},
                        {1250, 1000, "1.25"}, {7, 1, "7"},        {-2147483648LL, 100, "-21474836.48"}};
  for (const Case& c : cases) EXPECT_EQ(scaledText(c.raw, c.div), QString::fromLatin1(c.text)) << c.raw;
}
