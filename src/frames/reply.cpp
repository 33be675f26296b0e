#include "frames/reply.h"

#include "frames/frames.h"
#include "frames/request.h"

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

bool isWellFormed(const QByteArray& frame) { return !frameMessage(frame).isEmpty(); }

Verdict checkReply(const Request& request, const QByteArray& frame) {
  const QByteArray msg = frameMessage(frame);
  if (msg.isEmpty()) return Verdict::Dropped;
  const auto at = [&](int i) { return static_cast<unsigned char>(msg[i]); };
  const auto word = [&](int i) { return at(i) * 256 + at(i + 1); };
  const int fn = static_cast<int>(request.fn);
  if (at(1) == (fn | 0x80)) return msg.size() == 3 ? Verdict::Refused : Verdict::Dropped;
  if (at(1) != fn || request.count < 1) return Verdict::Dropped;
  switch (request.fn) {
    case Request::Fn::Read: {
      const int n = 2 * request.count;
      return msg.size() == 3 + n && at(2) == n ? Verdict::Accepted : Verdict::Dropped;
    }
    case Request::Fn::Write:  // the echo of register and count
      return msg.size() == 6 && word(2) == request.address && word(4) == request.count ? Verdict::Accepted
                                                                                      : Verdict::Dropped;
    case Request::Fn::WriteCoil:  // the echo of coil and value
      return msg.size() == 6 && word(2) == request.address && word(4) == (request.value ? 0xFF00 : 0)
                 ? Verdict::Accepted
                 : Verdict::Dropped;
  }
  return Verdict::Dropped;
}

Verdict checkReply(const QByteArray& requestBody, const QByteArray& frame) {
  return checkReply(Request::fromBody(requestBody), frame);
}

}  // namespace lorvane
