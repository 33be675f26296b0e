#include "frames/frames.h"

#include <cmath>

namespace lorvane {

namespace {
int hexVal(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads hex digits from the left for as long as they are hex digits; none reads 0.
std::uint32_t leadingHex(const QByteArray& digits) {
  std::uint32_t v = 0;
  for (char c : digits) {
    const int d = hexVal(c);
    if (d < 0) break;
    v = (v << 4) | static_cast<std::uint32_t>(d);
  }
  return v;
}
}  // namespace

QString lrcHex(const QByteArray& body) {
  unsigned sum = 0;
  for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
    const int hi = hexVal(body[i]);
    const int lo = hexVal(body[i + 1]);
    sum += static_cast<unsigned>((hi < 0 ? 0 : hi) * 16 + (lo < 0 ? 0 : lo));
  }
  if (sum > 255) sum %= 256;
  QString text = QString::number(255 - sum + 1, 16).toUpper();
  if (text.size() > 2) text = text.right(2);
  return text;
}

QByteArray buildFrame(const QByteArray& body) {
  QString lrc = lrcHex(body);
  if (lrc.isEmpty()) lrc = QStringLiteral("00");
  if (lrc.size() == 1) lrc.prepend(QLatin1Char('0'));
  return ':' + body + lrc.toLatin1() + "\r\n";
}

double roundHalfEven(double v) { return std::nearbyint(v); }  // default mode rounds to even

QByteArray hex4(std::uint16_t v) { return QByteArray::number(v, 16).toUpper().rightJustified(4, '0'); }

QByteArray hexWord(double value) { return hex4(static_cast<std::uint16_t>(roundHalfEven(value))); }

QByteArray hexLongLowFirst(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  return hex4(static_cast<std::uint16_t>(u & 0xFFFF)) + hex4(static_cast<std::uint16_t>(u >> 16));
}

std::uint16_t replyWord(const QByteArray& reply) {
  return static_cast<std::uint16_t>(leadingHex(reply.mid(7, 4)));
}

std::int32_t replyLong(const QByteArray& reply) {
  const QByteArray hi = reply.mid(11, 4);
  const QByteArray lo = reply.mid(7, 4);
  return static_cast<std::int32_t>(leadingHex(hi + lo));
}

QByteArray readBody(std::uint16_t reg, int count) {
  return "0103" + hex4(reg) + hex4(static_cast<std::uint16_t>(count));
}
QByteArray writeWordBody(std::uint16_t reg, const QByteArray& digits4) {
  return "0110" + hex4(reg) + "000102" + digits4;
}
QByteArray writeLongBody(std::uint16_t reg, const QByteArray& digits8) {
  return "0110" + hex4(reg) + "000204" + digits8;
}
QByteArray coilBody(std::uint16_t coil, bool on) { return "0105" + hex4(coil) + (on ? "FF00" : "0000"); }

QString normaliseDigits(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E) out.append(QChar(u - 0xFEE0));  // full-width ASCII forms
    else if (u == 0x3000) out.append(QLatin1Char(' '));             // ideographic space
    else out.append(c);
  }
  return out;
}

namespace {
// Length of the number at the start of s (sign, digits, at most one point), 0 if none.
qsizetype numberPrefix(const QString& s, qsizetype from) {
  qsizetype i = from;
  if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9')) digits = true;
    else if (s[i] == QLatin1Char('.') && !point) point = true;
    else break;
  }
  return digits ? i - from : 0;
}

// A number's text times scale. For a power of ten the point moves in the digits: multiplying the
// double instead is off by a little (0.29 * 100 is 28.999999999999996), enough to fail a range
// bound or round a half the wrong way.
double scaledNumber(QString number, int scale) {
  int shift = 0;
  int power = 1;
  while (power < scale) {
    power *= 10;
    ++shift;
  }
  if (shift == 0 || power != scale) return number.toDouble() * scale;
  qsizetype point = number.indexOf(QLatin1Char('.'));
  if (point < 0) point = number.size();
  else number.remove(point, 1);
  const qsizetype moved = point + shift;
  while (number.size() < moved) number.append(QLatin1Char('0'));
  if (moved < number.size()) number.insert(moved, QLatin1Char('.'));
  return number.toDouble();
}
}  // namespace

double leadingNumber(const QString& text, int scale) {
  const QString s = normaliseDigits(text);
  qsizetype from = 0;
  while (from < s.size() && s[from].isSpace()) ++from;
  const qsizetype n = numberPrefix(s, from);
  return n == 0 ? 0.0 : scaledNumber(s.mid(from, n), scale);
}

std::optional<double> plainNumber(const QString& text, int scale) {
  const QString s = normaliseDigits(text).trimmed();
  const qsizetype n = numberPrefix(s, 0);
  if (n == 0 || n != s.size()) return std::nullopt;
  return scaledNumber(s, scale);
}

QString scaledText(std::int64_t raw, int divisor) {
  if (divisor <= 1) return QString::number(raw);
  const bool neg = raw < 0;
  const std::uint64_t mag = neg ? static_cast<std::uint64_t>(-(raw + 1)) + 1 : static_cast<std::uint64_t>(raw);
  const std::uint64_t whole = mag / static_cast<std::uint64_t>(divisor);
  std::uint64_t frac = mag % static_cast<std::uint64_t>(divisor);
  QString text = QString::number(whole);
  if (frac != 0) {
    int width = 0;
    for (int d = divisor; d > 1; d /= 10) ++width;
    QString digits = QString::number(frac).rightJustified(width, QLatin1Char('0'));
    while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
    text += QLatin1Char('.') + digits;
  }
  if (neg && mag != 0) text.prepend(QLatin1Char('-'));
  return text;
}

QByteArray hexBytes(const QByteArray& hex) {
  if (hex.size() % 2 != 0) return {};
  for (char c : hex) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!ok) return {};
  }
  return QByteArray::fromHex(hex);
}

}  // namespace lorvane
