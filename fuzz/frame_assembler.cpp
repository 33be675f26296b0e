// Fuzz target: the frame assembler, which turns the bytes read from the serial line into whole
// frames, and the frame check that decides whether a frame is one the program may take.
//
// The input is the byte stream from the line. It is fed whole, one byte at a time, and in two
// chunkings whose chunk sizes come from the input's own bytes. Invariants, any broken one traps:
//  1. No crash, no AddressSanitizer or UndefinedBehaviorSanitizer report.
//  2. The frames yielded are the same whatever the chunking, and the same again after clear() on
//     an assembler that had seen other bytes.
//  3. They are exactly the frames of the stream: for every ":" the bytes up to the first CR LF
//     with no ":" between, when that is at most 601 bytes long; nothing else, in stream order.
//     So every frame starts with ":", ends with CR LF, holds no other ":" nor CR LF.
//  4. What the assembler keeps between reads stays bounded: closing it with CR LF after the
//     stream yields at most a frame of 601 bytes (600 held, plus the LF that ends it).
//  5. isWellFormed()/frameMessage() accept a frame exactly when it is well formed as worked out
//     here (":" + even count of hex digits + CR LF, at least 4 bytes, bytes sum to 0 mod 256,
//     address 01), and frameMessage() is then its bytes without the LRC; malformedReason() is
//     empty exactly then too. The traffic monitor's decoder takes the frames (the first four of
//     each input, and the input itself) without a crash.
#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "frames/decode.h"
#include "frames/reply.h"
#include "reference.h"

using lorvane::FrameAssembler;

namespace {

constexpr qsizetype kLongestFrame = 601;

// The frames in the stream, found by scanning it for each ":" and its CR LF.
QList<QByteArray> framesIn(const QByteArray& s) {
  QList<QByteArray> frames;
  for (qsizetype p = 0; p < s.size(); ++p) {
    if (s[p] != ':') continue;
    for (qsizetype q = p + 1; q < s.size(); ++q) {
      if (s[q] == ':') break;  // a new frame starts: this one was noise
      if (s[q] == '\n' && q - 1 > p && s[q - 1] == '\r') {
        if (q + 1 - p <= kLongestFrame) frames.append(s.mid(p, q + 1 - p));
        break;
      }
    }
  }
  return frames;
}

// Feeds the stream in chunks of the sizes `sizeAt` gives for each chunk in turn.
template <typename Sizes>
QList<QByteArray> feedInChunks(FrameAssembler& a, const QByteArray& stream, Sizes sizeAt) {
  QList<QByteArray> frames;
  qsizetype at = 0;
  for (qsizetype k = 0; at < stream.size(); ++k) {
    const qsizetype n = sizeAt(k);
    frames += a.feed(QByteArray::fromRawData(stream.constData() + at, std::min(n, stream.size() - at)));
    at += n;
  }
  return frames;
}

void checkFrame(const QByteArray& frame, bool decode) {
  const auto expected = fuzzref::wellFormedMessage(frame);
  const QByteArray message = lorvane::frameMessage(frame);
  FUZZ_CHECK(lorvane::isWellFormed(frame) == expected.has_value(), "isWellFormed disagrees with the frame's bytes");
  FUZZ_CHECK(expected ? message == *expected : message.isEmpty(), "frameMessage is not the frame's bytes less the LRC");
  FUZZ_CHECK(lorvane::malformedReason(frame).isEmpty() == expected.has_value(), "malformedReason disagrees");
  if (!decode) return;
  (void)lorvane::decodeFrame(frame, false, QByteArray("010310DE0001"));
  (void)lorvane::decodeFrame(frame, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray stream(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto byteAt = [&](qsizetype k) { return size == 0 ? 0 : static_cast<qsizetype>(data[k % size]); };

  FrameAssembler a;
  const QList<QByteArray> whole = a.feed(stream);
  const QByteArray heldAfterWhole = a.feed("\r\n").value(0);

  FrameAssembler b;
  const QList<QByteArray> bytewise = feedInChunks(b, stream, [](qsizetype) { return qsizetype{1}; });
  FrameAssembler c;
  const QList<QByteArray> small = feedInChunks(c, stream, [&](qsizetype k) { return 1 + byteAt(k) % 7; });
  FrameAssembler d;
  const QList<QByteArray> large = feedInChunks(d, stream, [&](qsizetype k) { return 1 + byteAt(size - 1 - k) % 211; });

  // An assembler that saw other bytes, then clear(), is as good as a new one.
  FrameAssembler e;
  (void)e.feed(stream.right(stream.size() / 2));
  e.clear();
  const QList<QByteArray> afterClear = feedInChunks(e, stream, [&](qsizetype k) { return 1 + byteAt(k + 3) % 13; });

  FUZZ_CHECK(bytewise == whole && small == whole && large == whole, "frames depend on how the bytes were read");
  FUZZ_CHECK(afterClear == whole, "clear() leaves something behind");
  FUZZ_CHECK(whole == framesIn(stream), "frames are not the stream's frames");
  FUZZ_CHECK(heldAfterWhole.size() <= kLongestFrame, "the assembler holds more than a frame");

  for (qsizetype i = 0; i < whole.size(); ++i) {
    const QByteArray& frame = whole[i];
    FUZZ_CHECK(frame.startsWith(':') && frame.endsWith("\r\n"), "a frame without its ':' or CR LF");
    FUZZ_CHECK(frame.count(':') == 1 && frame.indexOf("\r\n") == frame.size() - 2, "a frame holds two frames");
    checkFrame(frame, i < 4);  // the decoder's texts are slow to make: the first few frames show it
  }
  // The frame check on the raw input too: it need not come from the assembler.
  checkFrame(stream, true);
  return 0;
}
