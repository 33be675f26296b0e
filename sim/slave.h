#pragma once
// The controller's side of the line: takes one whole Modbus ASCII frame and gives the reply frame
// a controller at address 01 would send. Like a real controller it stays silent on anything it
// cannot trust (bad framing, wrong LRC, another address) and answers a request it understands
// but cannot carry out with an exception.
#include <QByteArray>

#include "sim/model.h"

namespace lorvane::sim {

class Slave {
 public:
  explicit Slave(ControllerModel& model) : model_(model) {}

  // frame: ":" ... CR LF. Returns the reply frame, or empty for no answer.
  QByteArray handle(const QByteArray& frame);

  // The next n valid requests are refused with this exception code, and not carried out.
  void refuseNext(int n, int code) {
    refuseNext_ = n;
    refuseCode_ = code;
  }
  int refusalsPending() const { return refuseNext_; }

  int requests() const { return requests_; }      // valid frames addressed to us
  int ignored() const { return ignored_; }        // frames left unanswered
  int exceptions() const { return exceptions_; }  // exception replies sent

 private:
  QByteArray exception(int function, int code);

  ControllerModel& model_;
  int requests_ = 0;
  int ignored_ = 0;
  int exceptions_ = 0;
  int refuseNext_ = 0;
  int refuseCode_ = 0x04;
};

// Exception codes a controller answers with.
inline constexpr int kIllegalFunction = 0x01;
inline constexpr int kIllegalAddress = 0x02;
inline constexpr int kIllegalValue = 0x03;
inline constexpr int kDeviceFailure = 0x04;

// Largest register counts a Modbus request may carry.
inline constexpr int kMaxReadCount = 125;
inline constexpr int kMaxWriteCount = 123;

}  // namespace lorvane::sim
