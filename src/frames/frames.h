#pragma once
// Modbus ASCII frames as the controller speaks them: bodies, the LRC, value encodings,
// and the operator-number rules used before anything is encoded.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace lorvane {

inline constexpr int kSlaveAddress = 0x01;
inline constexpr int kFnReadHolding = 0x03;
inline constexpr int kFnWriteMultiple = 0x10;
inline constexpr int kFnWriteCoil = 0x05;

// LRC of a hex body as upper-case hex without leading zeros (one or two digits).
QString lrcHex(const QByteArray& body);
// ":" + body + two-digit LRC + CR LF.
QByteArray buildFrame(const QByteArray& body);

// Round to the nearest integer, halves to the even neighbour (12.5 -> 12, 13.5 -> 14).
double roundHalfEven(double v);
// Four upper-case hex digits of a value 0..65535 after rounding.
QByteArray hexWord(double value);
// Eight hex digits: low word then high word of the 32-bit two's complement.
QByteArray hexLongLowFirst(std::int32_t value);

// Value digits of a received reply (":" counts as character 1).
std::uint16_t replyWord(const QByteArray& reply);
std::int32_t replyLong(const QByteArray& reply);

// Request bodies.
QByteArray readBody(std::uint16_t reg, int count);
QByteArray writeWordBody(std::uint16_t reg, const QByteArray& digits4);
QByteArray writeLongBody(std::uint16_t reg, const QByteArray& digits8);
QByteArray coilBody(std::uint16_t coil, bool on);
QByteArray hex4(std::uint16_t v);
// Bytes of a hex text ("0103" -> {1, 3}); empty if the text is not even-length hex.
QByteArray hexBytes(const QByteArray& hex);

// Operator numbers. Full-width digits, signs, point and spaces count as their ASCII forms.
QString normaliseDigits(const QString& text);
// The number the text starts with (after blanks); text without one reads 0. "12abc" -> 12.
// With a scale (a power of ten) the number times it, worked out by moving the point in the digits
// so that "0.29" at hundredths is exactly 29 and "1.015" exactly 101.5.
double leadingNumber(const QString& text, int scale = 1);
// The whole text as a plain number (digits, optional sign and point, blanks around), else none;
// times the scale as above.
std::optional<double> plainNumber(const QString& text, int scale = 1);
// raw / divisor (a power of ten) as the shortest decimal text, "0" before the point below 1.
QString scaledText(std::int64_t raw, int divisor);

}  // namespace lorvane
