#include "frames/decode.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdint>

#include "frames/frames.h"
#include "frames/reply.h"

namespace lorvane {

namespace {

// The context the decoder's texts are translated in.
struct FrameText {
  Q_DECLARE_TR_FUNCTIONS(FrameText)
};

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

QString hexText(int v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper(); }

// A frame's bytes between ":" and the LRC, when they are hex and at least address, function and
// one more byte; the LRC and the address are not checked.
QByteArray messageBytes(const QByteArray& frame) {
  QByteArray hex = frame;
  if (hex.startsWith(':')) hex.remove(0, 1);
  if (hex.endsWith("\r\n")) hex.chop(2);
  QByteArray bytes = hexBytes(hex);
  if (bytes.size() < 4) return {};
  bytes.chop(1);
  return bytes;
}

struct Bytes {
  const QByteArray& b;
  int at(int i) const { return static_cast<unsigned char>(b[i]); }
  int word(int i) const { return at(i) * 256 + at(i + 1); }
  int size() const { return static_cast<int>(b.size()); }
};

// Register values as shown: one register unsigned, a pair as the signed 32-bit value it holds (low
// word first) with its two words, more as a list.
QString valuesText(const Bytes& m, int from, int words) {
  if (words == 2) {
    const auto lo = static_cast<std::uint32_t>(m.word(from));
    const auto hi = static_cast<std::uint32_t>(m.word(from + 2));
    const auto value = static_cast<std::int32_t>((hi << 16) | lo);
    return QStringLiteral("%1（%2 %3）").arg(value).arg(hexText(static_cast<int>(lo), 4), hexText(static_cast<int>(hi), 4));
  }
  QStringList values;
  for (int i = 0; i < words; ++i) values << QString::number(m.word(from + 2 * i));
  return values.join(QLatin1Char(' '));
}

QString coilState(int value) {
  if (value == 0xFF00) return QStringLiteral("ON");
  if (value == 0x0000) return QStringLiteral("OFF");
  return FrameText::tr("值%1").arg(hexText(value, 4));
}

FrameMeaning wrongLength(int fn, const QString& what) {
  return {FrameText::tr("%1 %2，长度不符").arg(hexText(fn, 2), what), -1, 0};
}

FrameMeaning decodeMessage(const QByteArray& bytes, bool sent, const QByteArray& request) {
  const Bytes m{bytes};
  if (m.size() < 3) return {};
  const int fn = m.at(1);
  const QString fnText = hexText(fn, 2);
  if (fn & 0x80) {
    const int code = m.at(2);
    return {FrameText::tr("%1 异常回复：%2 %3").arg(fnText, hexText(code, 2), exceptionName(code)), -1, 0};
  }
  switch (fn) {
    case kFnReadHolding: {
      if (sent) {
        if (m.size() != 6) return wrongLength(fn, FrameText::tr("读寄存器"));
        return {FrameText::tr("%1 读寄存器 %2，%3个").arg(fnText, hexText(m.word(2), 4)).arg(m.word(4)), m.word(2),
                m.word(4)};
      }
      const int n = m.at(2);
      if (n % 2 != 0 || m.size() != 3 + n) return wrongLength(fn, FrameText::tr("读回复"));
      const QString values = valuesText(m, 3, n / 2);
      const QByteArray req = hexBytes(request);
      const Bytes r{req};
      if (r.size() == 6 && r.at(1) == kFnReadHolding && r.word(4) == n / 2)
        return {FrameText::tr("%1 读回复 %2，%3个：%4").arg(fnText, hexText(r.word(2), 4)).arg(n / 2).arg(values),
                r.word(2), n / 2};
      return {FrameText::tr("%1 读回复 %2个：%3").arg(fnText).arg(n / 2).arg(values), -1, 0};
    }
    case kFnWriteMultiple: {
      if (m.size() < 6) return wrongLength(fn, sent ? FrameText::tr("写寄存器") : FrameText::tr("写确认"));
      const int reg = m.word(2);
      const int count = m.word(4);
      if (!sent) {
        if (m.size() != 6) return wrongLength(fn, FrameText::tr("写确认"));
        return {FrameText::tr("%1 写确认 %2，%3个").arg(fnText, hexText(reg, 4)).arg(count), reg, count};
      }
      if (m.size() < 7 || m.at(6) != 2 * count || m.size() != 7 + 2 * count)
        return wrongLength(fn, FrameText::tr("写寄存器"));
      return {FrameText::tr("%1 写寄存器 %2，%3个：%4").arg(fnText, hexText(reg, 4)).arg(count).arg(valuesText(m, 7, count)),
              reg, count};
    }
    case kFnWriteCoil: {
      if (m.size() != 6) return wrongLength(fn, sent ? FrameText::tr("写线圈") : FrameText::tr("线圈确认"));
      const QString coil = hexText(m.word(2), 4);
      const QString state = coilState(m.word(4));
      return {(sent ? FrameText::tr("%1 写线圈 %2 %3") : FrameText::tr("%1 线圈确认 %2 %3")).arg(fnText, coil, state),
              m.word(2), 1};
    }
    default:
      return {FrameText::tr("%1 未知功能").arg(fnText), -1, 0};
  }
}

}  // namespace

QString malformedReason(const QByteArray& frame) {
  if (!frame.startsWith(':') || !frame.endsWith("\r\n") || frame.size() < 3) return FrameText::tr("帧不完整");
  const QByteArray hex = frame.mid(1, frame.size() - 3);
  for (char c : hex)
    if (!isHexDigit(c)) return FrameText::tr("含非十六进制字符");
  if (hex.size() % 2 != 0) return FrameText::tr("帧不完整");  // a character lost on the way
  const QByteArray bytes = QByteArray::fromHex(hex);
  if (bytes.size() < 4) return FrameText::tr("帧太短");
  unsigned sum = 0;
  for (char b : bytes) sum += static_cast<unsigned char>(b);
  if ((sum & 0xFF) != 0) return FrameText::tr("LRC校验错误");
  if (static_cast<unsigned char>(bytes[0]) != kSlaveAddress) return FrameText::tr("不是从站01");
  return {};
}

QString exceptionName(int code) {
  switch (code) {
    case 0x01: return FrameText::tr("非法功能");
    case 0x02: return FrameText::tr("非法数据地址");
    case 0x03: return FrameText::tr("非法数据值");
    case 0x04: return FrameText::tr("从站设备故障");
    case 0x05: return FrameText::tr("确认，处理中");
    case 0x06: return FrameText::tr("从站设备忙");
    default: return FrameText::tr("未知异常");
  }
}

FrameMeaning decodeFrame(const QByteArray& frame, bool sent, const QByteArray& request) {
  return decodeMessage(messageBytes(frame), sent, request);
}

FrameMeaning decodeRequest(const QByteArray& body) {
  return decodeMessage(hexBytes(body), true, {});
}

}  // namespace lorvane
