#include "link/reply.h"

#include "link/frames.h"

namespace lorvane {

namespace {
constexpr qsizetype kMaxFrame = 600;  // far beyond any frame the controller sends
}

QList<QByteArray> FrameAssembler::feed(const QByteArray& bytes) {
  QList<QByteArray> frames;
  for (char c : bytes) {
    if (c == ':') {
      buf_ = ":";  // a new frame starts; a partial one before it was noise
      continue;
    }
    if (buf_.isEmpty()) continue;  // stray byte before a frame
    buf_.append(c);
    if (buf_.endsWith("\r\n")) {
      frames.append(buf_);
      buf_.clear();
    } else if (buf_.size() > kMaxFrame) {
      buf_.clear();
    }
  }
  return frames;
}

QByteArray hexBytes(const QByteArray& hex) {
  if (hex.size() % 2 != 0) return {};
  for (char c : hex) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!ok) return {};
  }
  return QByteArray::fromHex(hex);
}

QByteArray frameMessage(const QByteArray& frame) {
  if (!frame.startsWith(':') || !frame.endsWith("\r\n")) return {};
  const QByteArray bytes = hexBytes(frame.mid(1, frame.size() - 3));
  if (bytes.size() < 4) return {};
  unsigned sum = 0;
  for (char b : bytes) sum += static_cast<unsigned char>(b);
  if ((sum & 0xFF) != 0) return {};  // LRC covers itself: the total is 0 mod 256
  if (static_cast<unsigned char>(bytes[0]) != kSlaveAddress) return {};
  return bytes.left(bytes.size() - 1);
}

namespace {
int replyCharsFor(const QByteArray& req) {
  if (req.size() >= 6 && static_cast<unsigned char>(req[1]) == kFnReadHolding)
    return 11 + 4 * (static_cast<unsigned char>(req[4]) * 256 + static_cast<unsigned char>(req[5]));
  return 17;  // echo of a write
}
}  // namespace

bool isWellFormed(const QByteArray& frame) { return !frameMessage(frame).isEmpty(); }

int minRoundTripMs(const QByteArray& requestBody, double charMs) {
  const QByteArray req = hexBytes(requestBody);
  const double chars = static_cast<double>(requestBody.size() + 5 + replyCharsFor(req));
  return static_cast<int>(chars * charMs) - 2;  // a little below, for the clock's granularity
}

Verdict checkReply(const QByteArray& requestBody, const QByteArray& frame) {
  const QByteArray msg = frameMessage(frame);
  const QByteArray req = hexBytes(requestBody);
  if (msg.isEmpty() || req.size() < 2) return Verdict::Dropped;
  const auto at = [](const QByteArray& a, int i) { return static_cast<unsigned char>(a[i]); };
  if (at(msg, 0) != kSlaveAddress) return Verdict::Dropped;
  const int fn = at(req, 1);
  if (at(msg, 1) == (fn | 0x80)) return msg.size() == 3 ? Verdict::Refused : Verdict::Dropped;
  if (at(msg, 1) != fn) return Verdict::Dropped;
  switch (fn) {
    case kFnReadHolding: {
      if (req.size() != 6) return Verdict::Dropped;
      const int count = at(req, 4) * 256 + at(req, 5);
      const int n = 2 * count;
      return (msg.size() == 3 + n && at(msg, 2) == n) ? Verdict::Accepted : Verdict::Dropped;
    }
    case kFnWriteMultiple:
    case kFnWriteCoil:
      // Register writes echo register and count; coil writes echo coil and value.
      return (msg.size() == 6 && req.size() >= 6 && msg.mid(2, 4) == req.mid(2, 4)) ? Verdict::Accepted
                                                                                    : Verdict::Dropped;
    default:
      return Verdict::Dropped;
  }
}

}  // namespace lorvane
