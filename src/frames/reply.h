#pragma once
// Turns the bytes from the line into whole frames and decides whether a frame answers the
// request in flight. Nothing that fails these checks ever counts as an answer.
#include <QByteArray>
#include <QList>

namespace lorvane {

struct Request;

// Collects ":" ... CR LF frames from a byte stream: stray bytes before ":" are skipped, a
// frame may arrive over several reads, and one read may carry two frames.
class FrameAssembler {
 public:
  QList<QByteArray> feed(const QByteArray& bytes);
  void clear() { buf_.clear(); }

 private:
  QByteArray buf_;
};

enum class Verdict { Accepted, Refused, Dropped };

// Checks a whole frame (":" ... CR LF) against the body of the request in flight: LRC, slave
// address 01, function, and then the byte count of a read, the echoed register and count of a
// register write, or the echoed coil and value of a coil write. A function with 0x80 set and a
// correct LRC is the controller refusing the request.
Verdict checkReply(const Request& request, const QByteArray& frame);
Verdict checkReply(const QByteArray& requestBody, const QByteArray& frame);

// The bytes of a whole frame (":" ... CR LF) without its LRC: address, function and data. Empty
// when the frame is not hex, too short, has a wrong LRC or is not for or from slave 01. The one
// check of a frame's integrity, for the program and the simulator alike.
QByteArray frameMessage(const QByteArray& frame);
// A frame with a right LRC from slave 01, whatever it answers.
bool isWellFormed(const QByteArray& frame);

}  // namespace lorvane
