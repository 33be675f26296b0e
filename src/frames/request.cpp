#include "frames/request.h"

#include "frames/frames.h"

namespace lorvane {

QByteArray Request::body() const {
  switch (fn) {
    case Fn::Read: return readBody(address, count);
    case Fn::WriteCoil: return coilBody(address, value != 0);
    case Fn::Write:
      return count == 2 ? writeLongBody(address, hexLongLowFirst(static_cast<std::int32_t>(value)))
                        : writeWordBody(address, hex4(static_cast<std::uint16_t>(value)));
  }
  return {};
}

Request Request::fromBody(const QByteArray& text) {
  const QByteArray b = hexBytes(text);
  const auto at = [&](int i) { return static_cast<unsigned char>(b[i]); };
  const auto word = [&](int i) { return static_cast<std::uint16_t>(at(i) * 256 + at(i + 1)); };
  if (b.size() == 6 && at(1) == kFnReadHolding) return read(word(2), word(4));
  if (b.size() == 6 && at(1) == kFnWriteCoil) return coil(word(2), word(4) != 0);
  if (b.size() == 9 && at(1) == kFnWriteMultiple) return write(word(2), 1, word(7));
  if (b.size() == 11 && at(1) == kFnWriteMultiple)
    return write(word(2), 2, static_cast<std::int32_t>(static_cast<std::uint32_t>(word(9)) << 16 | word(7)));
  return read(0, 0);
}

int Request::replyChars() const { return fn == Fn::Read ? 11 + 4 * count : 17; }

bool Request::answerLooksLike(const Request& o) const {
  if (fn != o.fn) return false;
  switch (fn) {
    case Fn::Read: return count == o.count;
    case Fn::Write: return address == o.address && count == o.count;
    case Fn::WriteCoil: return address == o.address && value == o.value;
  }
  return false;
}

}  // namespace lorvane
