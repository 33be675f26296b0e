#pragma once
// The axes moved by hand: a jog by the set distance, homing to the zero input, the hold-to-run
// buttons of the debug and teach pages, each stopped by its limit inputs; and teaching, which
// takes the axes' positions into the current teach step.
#include <array>
#include <cstdint>
#include <functional>

#include "sim/event.h"
#include "sim/register_file.h"

namespace lorvane::sim {

using Positions = std::array<double, kAxes>;  // hundredths of a mm, axes X Y Z C A

class ManualMotion {
 public:
  using InputFn = std::function<bool(int input)>;
  using CoilFn = std::function<bool(std::uint16_t coil)>;
  using EventFn = std::function<void(const Event&)>;

  ManualMotion(RegisterFile& regs, Positions& positions, InputFn input, CoilFn coil, EventFn event)
      : regs_(regs), pos_(positions), input_(std::move(input)), coil_(std::move(coil)), event_(std::move(event)) {}

  void jog(int axis);   // by the jog distance, in the jog direction (nothing when the distance is 0)
  void home(int axis);
  void stop();          // every jog and homing move ends where the axis is
  void tick();          // one millisecond of every axis
  bool moving(int axis) const;

  // ---- Teaching: the current step's teach axes.
  void storeTeachPoint();   // the positions, as pulses
  void matchTeachSpeeds();  // all teach axes arrive together
  void toggleTeach(int axis);

 private:
  enum class Manual { None, Jog, Home };
  struct Axis {
    Manual manual = Manual::None;
    double target = 0;     // jog target
    double travelled = 0;  // homing safety stop
  };
  void move(int axis);
  double rate(int axis) const;
  bool limitHit(int axis, int direction) const;
  int holdDirection(int axis) const;
  std::int32_t pulses(int axis, double hundredths) const;

  RegisterFile& regs_;
  Positions& pos_;
  InputFn input_;
  CoilFn coil_;
  EventFn event_;
  std::array<Axis, kAxes> axes_{};
};

// A position as the controller reports it: whole hundredths, within a register pair.
std::int32_t clampToLong(double v);

}  // namespace lorvane::sim
