#include "sim/slave.h"

#include "frames/frames.h"
#include "frames/reply.h"

namespace lorvane::sim {

namespace {
int byteAt(const QByteArray& b, int i) { return static_cast<unsigned char>(b[i]); }
int wordAt(const QByteArray& b, int i) { return byteAt(b, i) * 256 + byteAt(b, i + 1); }
QByteArray hex2(int v) { return QByteArray::number(v & 0xFF, 16).toUpper().rightJustified(2, '0'); }
}  // namespace

QByteArray Slave::exception(int function, int code) {
  ++exceptions_;
  return buildFrame("01" + hex2(function | 0x80) + hex2(code));
}

QByteArray Slave::handle(const QByteArray& frame) {
  const auto silence = [this] {
    ++ignored_;
    return QByteArray();
  };
  const QByteArray msg = frameMessage(frame);  // whole, hex, right LRC, for slave 01
  if (msg.isEmpty()) return silence();
  ++requests_;

  const int fn = byteAt(msg, 1);
  if (refuseNext_ > 0) {
    --refuseNext_;
    return exception(fn, refuseCode_);
  }
  switch (fn) {
    case kFnReadHolding: {
      if (msg.size() != 6) return exception(fn, kIllegalValue);
      const int first = wordAt(msg, 2);
      const int count = wordAt(msg, 4);
      if (count < 1 || count > kMaxReadCount) return exception(fn, kIllegalValue);
      if (!ControllerModel::hasRegister(first) || !ControllerModel::hasRegister(first + count - 1))
        return exception(fn, kIllegalAddress);
      QByteArray body = "0103" + hex2(2 * count);
      for (int i = 0; i < count; ++i) body += hex4(model_.reg(static_cast<std::uint16_t>(first + i)));
      return buildFrame(body);
    }
    case kFnWriteMultiple: {
      if (msg.size() < 7) return exception(fn, kIllegalValue);
      const int first = wordAt(msg, 2);
      const int count = wordAt(msg, 4);
      if (count < 1 || count > kMaxWriteCount || byteAt(msg, 6) != 2 * count || msg.size() != 7 + 2 * count)
        return exception(fn, kIllegalValue);
      QList<std::uint16_t> values;
      for (int i = 0; i < count; ++i) values.append(static_cast<std::uint16_t>(wordAt(msg, 7 + 2 * i)));
      switch (model_.writeRegisters(static_cast<std::uint16_t>(first), values)) {
        case ControllerModel::Result::IllegalAddress: return exception(fn, kIllegalAddress);
        case ControllerModel::Result::IllegalValue: return exception(fn, kIllegalValue);
        case ControllerModel::Result::Ok: break;
      }
      return buildFrame("0110" + hex4(static_cast<std::uint16_t>(first)) + hex4(static_cast<std::uint16_t>(count)));
    }
    case kFnWriteCoil: {
      if (msg.size() != 6) return exception(fn, kIllegalValue);
      const int coil = wordAt(msg, 2);
      const int value = wordAt(msg, 4);
      if (!ControllerModel::hasCoil(coil)) return exception(fn, kIllegalAddress);
      if (value != 0xFF00 && value != 0x0000) return exception(fn, kIllegalValue);
      model_.writeCoil(static_cast<std::uint16_t>(coil), value == 0xFF00);
      return buildFrame("0105" + hex4(static_cast<std::uint16_t>(coil)) + hex4(static_cast<std::uint16_t>(value)));
    }
    default:
      return exception(fn, kIllegalFunction);
  }
}

}  // namespace lorvane::sim
