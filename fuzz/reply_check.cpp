// Fuzz target: the check of a reply against the request in flight (checkReply) and the rule by
// which the engine holds back requests whose answers could be mistaken (answerLooksLike).
//
// From the input: a request the program sends (a read of 1..125 holding registers, function 03;
// a write of one register or of a signed 32-bit pair, function 10; a coil ON or OFF, function
// 05), a second request, and a candidate reply: the genuine answer the controller gives (worked
// out here), the controller's refusal, either changed at byte level with the LRC set right again
// or at character level, or arbitrary bytes; and, apart, an arbitrary request body.
// Invariants, any broken one traps:
//  1. No crash, no AddressSanitizer or UndefinedBehaviorSanitizer report.
//  2. A frame Accepted as the answer is well formed (":", hex, LRC, slave 01, CR LF) and matches
//     its request: same function; a read: byte count 2 x count and exactly that many data bytes;
//     a register write: the echo of its register and count; a coil write: the echo of its coil
//     and FF00 (ON) or 0000 (OFF). Every frame that is so is Accepted (a right answer is never
//     dropped). Checked on the bytes here, without the program's frame code.
//  3. Refused only for a well-formed frame whose function is the request's function | 0x80
//     carrying one byte (the exception code); every such frame is Refused.
//  4. The genuine answer of each request is Accepted, its refusal Refused.
//  5. Requests go on the line and back unchanged: Request::fromBody(r.body()) == r, and the text
//     overload of checkReply agrees with the typed one.
//  6. answerLooksLike is reflexive and symmetric, and two requests that both accept one frame as
//     their answer look alike (so the engine holds one back while the other's answer may come).
//  7. Any body, however odd, gives a request without a crash; an unknown one accepts no frame.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "frames/reply.h"
#include "frames/request.h"
#include "reference.h"

using lorvane::Request;
using lorvane::Verdict;

namespace {

Request requestFrom(FuzzedDataProvider& in) {
  const auto reg = in.ConsumeIntegral<std::uint16_t>();
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return Request::read(reg, in.ConsumeIntegralInRange(1, 125));
    case 1: return Request::write(reg, 1, in.ConsumeIntegral<std::uint16_t>());
    case 2: return Request::write(reg, 2, in.ConsumeIntegral<std::int32_t>());
    default: return Request::coil(reg, in.ConsumeBool());
  }
}

int functionOf(const Request& r) {
  switch (r.fn) {
    case Request::Fn::Read: return 0x03;
    case Request::Fn::Write: return 0x10;
    case Request::Fn::WriteCoil: return 0x05;
  }
  return -1;
}

void appendWord(QByteArray& m, unsigned w) {
  m.append(static_cast<char>((w >> 8) & 0xFF));
  m.append(static_cast<char>(w & 0xFF));
}

// The answer the controller gives: the registers' values (from the input) for a read, the echo
// of register and count for a write, the echo of coil and value for a coil.
QByteArray genuineAnswer(const Request& r, FuzzedDataProvider& in) {
  QByteArray m;
  m.append('\x01');
  m.append(static_cast<char>(functionOf(r)));
  switch (r.fn) {
    case Request::Fn::Read:
      m.append(static_cast<char>(2 * r.count));
      for (int i = 0; i < r.count; ++i) appendWord(m, in.ConsumeIntegral<std::uint16_t>());
      break;
    case Request::Fn::Write:
      appendWord(m, r.address);
      appendWord(m, static_cast<unsigned>(r.count));
      break;
    case Request::Fn::WriteCoil:
      appendWord(m, r.address);
      appendWord(m, r.value ? 0xFF00 : 0x0000);
      break;
  }
  return m;
}

QByteArray refusal(const Request& r, std::uint8_t code) {
  QByteArray m;
  m.append('\x01');
  m.append(static_cast<char>(functionOf(r) | 0x80));
  m.append(static_cast<char>(code));
  return m;
}

// Changes to message bytes; the frame is then built with its LRC right, so that the checks past
// the LRC are what is tried.
void mutateBytes(QByteArray& m, FuzzedDataProvider& in) {
  const int changes = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < changes; ++i) {
    const auto at = static_cast<qsizetype>(in.ConsumeIntegralInRange<std::size_t>(0, static_cast<std::size_t>(m.size())));
    switch (in.ConsumeIntegralInRange(0, 4)) {
      case 0: if (at < m.size()) m[at] = static_cast<char>(in.ConsumeIntegral<std::uint8_t>()); break;
      case 1: if (at < m.size()) m[at] = static_cast<char>(m[at] ^ (1 << in.ConsumeIntegralInRange(0, 7))); break;
      case 2: m.insert(at, static_cast<char>(in.ConsumeIntegral<std::uint8_t>())); break;
      case 3: if (at < m.size()) m.remove(at, 1); break;
      default: m.truncate(at); break;
    }
  }
}

// Changes to characters of a whole frame (a lost, doubled or garbled character).
void mutateChars(QByteArray& f, FuzzedDataProvider& in) {
  const int changes = in.ConsumeIntegralInRange(0, 2);
  for (int i = 0; i < changes; ++i) {
    const auto at = static_cast<qsizetype>(in.ConsumeIntegralInRange<std::size_t>(0, static_cast<std::size_t>(f.size())));
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0: if (at < f.size()) f[at] = static_cast<char>(in.ConsumeIntegral<std::uint8_t>()); break;
      case 1: if (at < f.size()) f.remove(at, 1); break;
      default: f.insert(at, static_cast<char>(in.ConsumeIntegral<std::uint8_t>())); break;
    }
  }
}

unsigned wordAt(const QByteArray& m, int i) {
  return static_cast<unsigned char>(m[i]) * 256u + static_cast<unsigned char>(m[i + 1]);
}

// Whether a well-formed frame's message (address, function, data) answers the request.
bool answers(const Request& r, const QByteArray& m) {
  const auto at = [&](int i) { return static_cast<unsigned char>(m[i]); };
  if (m.size() < 2 || at(1) != functionOf(r)) return false;
  switch (r.fn) {
    case Request::Fn::Read:
      // A read of no register (a body that is none of the program's) has no answer.
      return r.count >= 1 && m.size() >= 3 && at(2) == 2 * r.count && m.size() == 3 + 2 * r.count;
    case Request::Fn::Write:
      return m.size() == 6 && wordAt(m, 2) == r.address && wordAt(m, 4) == static_cast<unsigned>(r.count);
    case Request::Fn::WriteCoil:
      return m.size() == 6 && wordAt(m, 2) == r.address && wordAt(m, 4) == (r.value ? 0xFF00u : 0x0000u);
  }
  return false;
}

bool refuses(const Request& r, const QByteArray& m) {
  return m.size() == 3 && static_cast<unsigned char>(m[1]) == (functionOf(r) | 0x80);
}

void checkVerdict(const Request& r, const QByteArray& frame) {
  const Verdict v = lorvane::checkReply(r, frame);
  const auto message = fuzzref::wellFormedMessage(frame);
  const bool answer = message && answers(r, *message);
  const bool refusal = message && refuses(r, *message);
  FUZZ_CHECK((v == Verdict::Accepted) == answer, "a frame taken as the answer does not answer, or an answer dropped");
  FUZZ_CHECK((v == Verdict::Refused) == refusal, "a refusal not recognised, or something else taken for one");
  FUZZ_CHECK(lorvane::checkReply(r.body(), frame) == v, "the request's text and the request judge differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Request request = requestFrom(in);
  const Request other = requestFrom(in);

  FUZZ_CHECK(Request::fromBody(request.body()) == request, "a request does not survive its own body");
  FUZZ_CHECK(request.answerLooksLike(request), "a request's answer does not look like itself");
  FUZZ_CHECK(request.answerLooksLike(other) == other.answerLooksLike(request), "answerLooksLike is not symmetric");

  // The genuine answer and the refusal are taken as such.
  const QByteArray genuine = genuineAnswer(request, in);
  const std::uint8_t code = in.ConsumeIntegral<std::uint8_t>();
  FUZZ_CHECK(lorvane::checkReply(request, fuzzref::frameOf(genuine)) == Verdict::Accepted, "the genuine answer dropped");
  FUZZ_CHECK(lorvane::checkReply(request, fuzzref::frameOf(genuine, true)) == Verdict::Accepted,
             "the genuine answer in lower-case hex dropped");
  FUZZ_CHECK(lorvane::checkReply(request, fuzzref::frameOf(refusal(request, code))) == Verdict::Refused,
             "the controller's refusal not recognised");

  QByteArray frame;
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {  // the answer, changed with its LRC set right again
      QByteArray m = genuine;
      mutateBytes(m, in);
      frame = fuzzref::frameOf(m, in.ConsumeBool());
      break;
    }
    case 1: {  // the refusal, changed likewise
      QByteArray m = refusal(request, code);
      mutateBytes(m, in);
      frame = fuzzref::frameOf(m, in.ConsumeBool());
      break;
    }
    case 2:  // a character lost, doubled or garbled on the line
      frame = fuzzref::frameOf(genuine, in.ConsumeBool());
      mutateChars(frame, in);
      break;
    default:
      frame = QByteArray::fromStdString(in.ConsumeRandomLengthString(700));
      break;
  }
  checkVerdict(request, frame);
  checkVerdict(other, frame);
  if (lorvane::checkReply(request, frame) == Verdict::Accepted && lorvane::checkReply(other, frame) == Verdict::Accepted)
    FUZZ_CHECK(request.answerLooksLike(other), "two requests take one frame as their answer but do not look alike");

  // Any body: a request comes of it; one that is none of the program's takes no frame as its answer.
  const QByteArray body = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
  const Request fromAny = Request::fromBody(body);
  checkVerdict(fromAny, frame);
  if (fromAny.count < 1) FUZZ_CHECK(lorvane::checkReply(body, frame) != Verdict::Accepted, "a request of nothing answered");
  return 0;
}
