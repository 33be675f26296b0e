#pragma once
// What a Modbus ASCII frame from slave 01 is, worked out here from the bytes themselves, so that
// the fuzz targets can judge the program's frame code without asking it: ":" then hex digit
// pairs (address, function, data, LRC) then CR LF, the bytes summing to 0 mod 256 with the LRC,
// address 01, at least address, function, one data byte and the LRC.
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace fuzzref {

// Stops the run with a message: libFuzzer keeps the input that got here as a finding.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}
#define FUZZ_CHECK(cond, what) \
  do {                         \
    if (!(cond)) ::fuzzref::fail(what); \
  } while (0)

inline int hexDigit(char c) {
  switch (c) {
    case '0': return 0;  case '1': return 1;  case '2': return 2;  case '3': return 3;
    case '4': return 4;  case '5': return 5;  case '6': return 6;  case '7': return 7;
    case '8': return 8;  case '9': return 9;
    case 'A': case 'a': return 10;
    case 'B': case 'b': return 11;
    case 'C': case 'c': return 12;
    case 'D': case 'd': return 13;
    case 'E': case 'e': return 14;
    case 'F': case 'f': return 15;
    default: return -1;
  }
}

// The bytes of a whole frame between ":" and CR LF, LRC included, when it is one: starts with
// ":", ends with CR LF, an even number of hex digits between.
inline std::optional<QByteArray> frameBytes(const QByteArray& frame) {
  const qsizetype n = frame.size();
  if (n < 3 || frame[0] != ':' || frame[n - 2] != '\r' || frame[n - 1] != '\n') return std::nullopt;
  const qsizetype digits = n - 3;
  if (digits % 2 != 0) return std::nullopt;
  QByteArray bytes;
  for (qsizetype i = 1; i + 1 < n - 1; i += 2) {
    const int hi = hexDigit(frame[i]);
    const int lo = hexDigit(frame[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.append(static_cast<char>(hi * 16 + lo));
  }
  return bytes;
}

// Address, function and data of a frame the program may take (LRC dropped), else none.
inline std::optional<QByteArray> wellFormedMessage(const QByteArray& frame) {
  const auto bytes = frameBytes(frame);
  if (!bytes || bytes->size() < 4) return std::nullopt;
  unsigned sum = 0;
  for (char b : *bytes) sum += static_cast<unsigned char>(b);
  if (sum % 256 != 0) return std::nullopt;
  if (static_cast<unsigned char>((*bytes)[0]) != 0x01) return std::nullopt;
  return bytes->left(bytes->size() - 1);
}

// The LRC of message bytes: the two's complement of their sum, one byte.
inline std::uint8_t lrc(const QByteArray& message) {
  unsigned sum = 0;
  for (char b : message) sum += static_cast<unsigned char>(b);
  return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

// ":" + hex of the message and its LRC + CR LF, upper- or lower-case digits.
inline QByteArray frameOf(const QByteArray& message, bool lowerCase = false) {
  static const char upper[] = "0123456789ABCDEF";
  static const char lower[] = "0123456789abcdef";
  const char* digits = lowerCase ? lower : upper;
  QByteArray out(":");
  QByteArray all = message;
  all.append(static_cast<char>(lrc(message)));
  for (char b : all) {
    const auto u = static_cast<unsigned char>(b);
    out.append(digits[u >> 4]);
    out.append(digits[u & 0xF]);
  }
  out.append("\r\n");
  return out;
}

}  // namespace fuzzref
