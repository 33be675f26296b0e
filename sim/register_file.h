#pragma once
// The controller's registers: the single ones (parameters and status), the ten projects' banks
// with their fifty steps, and what the controller kept of both. A read or write of a banked
// address reaches the current step (0x1027) of the current project (0x1025), so switching the
// project or the step shows that step's own values.
//
// 0x10E3..0x10E5 are both the forward-limit inputs of Z, C and A (axis parameter screen) and the
// input states of the input-conditioned outputs (step page). This controller keeps them with the
// step: the axis parameter screen therefore shows and sets the current step's values, and a
// forward limit of Z, C or A is taken from the current step as well. One address, one value,
// whichever screen reads it.
//
// 0x1023 is one cell per step, too: the teach choice sets it to 1 and the other choices to 0,
// and the arc page writes its arc size into it. Which function a step runs is decided by
// 0x10FD (arc), 0x10FE (line) and 0x10FF (3 = teach), so an arc size never turns a step into a
// teach step.
#include <array>
#include <cstddef>
#include <cstdint>

#include "frames/registers.h"
#include "sim/runner.h"

namespace lorvane::sim {

using runner::kAxes;
using runner::kInputs;
using runner::kOutputs;
using runner::kProjects;
using runner::kSteps;
static_assert(kAxes == reg::AxisCount);

inline constexpr bool in(int a, int lo, int hi) { return a >= lo && a <= hi; }
inline std::uint16_t lowWord(std::int32_t v) { return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFF); }
inline std::uint16_t highWord(std::int32_t v) { return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) >> 16); }

class RegisterFile {
 public:
  using Bank = std::array<std::uint16_t, 256>;  // indexed by address - 0x1000
  // The registers of the Z/A page's settings. A step keeps them twice, for Z and for A; its
  // 0x1055 says which axis's values they read and write (and which axis a run drives).
  static constexpr std::array<std::uint16_t, 8> kZaRegisters = {0x1048, 0x1049, 0x1030, 0x1031,
                                                                0x1032, 0x1033, 0x1041, 0x109E};
  using ASettings = std::array<std::uint16_t, kZaRegisters.size()>;
  struct Project {
    Bank regs{};                        // project-wide registers
    std::array<Bank, kSteps> steps{};
    std::array<ASettings, kSteps> a{};  // A's settings of each step (Z's are in its bank)
  };

  static constexpr int index(std::uint16_t address) { return address - 0x1000; }
  static bool hasRegister(int address) { return address >= reg::kFirst && address <= reg::kLast; }

  RegisterFile() { reset(); }
  // A controller as it leaves the factory: its default parameters, empty projects at 100 %
  // speed, project 1 step 1 selected; kept as well.
  void reset();
  // Programs project 1 with a short demonstration (four steps), kept.
  void loadDemo();

  // ---- The selection (0x1025, 0x1027).
  int currentProject() const { return project_; }
  int currentStep() const { return step_; }
  void selectProject(int project);
  void selectStep(int step);
  // The previous or next step (-1, +1) within the project's steps: not below 1, not past the
  // step count (a step beyond the count, set through 0x1027, only moves down). A project whose
  // count is not set yet has all fifty.
  void stepBy(int delta);

  // ---- Working values.
  // The register as a read or write of its address reaches it now.
  std::uint16_t& at(std::uint16_t address);
  std::uint16_t at(std::uint16_t address) const { return at(project_, step_, address); }
  // A register of any project and step (1-based), banked or not.
  std::uint16_t at(int project, int step, std::uint16_t address) const;
  std::int32_t pair(int project, int step, std::uint16_t first) const;  // low word first
  std::int32_t pair(std::uint16_t first) const { return pair(project_, step_, first); }
  // A single register: a parameter or the machine's status.
  std::uint16_t& single(std::uint16_t address) { return singles_[index(address)]; }
  std::uint16_t single(std::uint16_t address) const { return singles_[index(address)]; }
  Project& working(int project) { return projects_[static_cast<size_t>(project - 1)]; }
  const Project& working(int project) const { return projects_[static_cast<size_t>(project - 1)]; }

  // ---- What the controller keeps.
  const Bank& keptSingles() const { return keptSingles_; }
  const Project& kept(int project) const { return kept_[static_cast<size_t>(project - 1)]; }
  void keepParameters() { keptSingles_ = singles_; }
  // The project is kept, and is the current one after a restart.
  void keepProject(int project);
  // Every step of the project back to 0, its loop and next project off, speed 100 %; kept too.
  void clearProject(int project);
  // What the read-parameters command reports of a project as kept: present (0x109F) and how
  // many step values are set (0x10C7).
  void reportKept(int project);
  // The working values become what is kept (after the state file has been read).
  void keepAll();

 private:
  // Where in `Project::a` the register is held, when the step gives the Z/A settings to A; else -1.
  int aSlot(int project, int step, std::uint16_t address) const;
  template <class Self>
  static auto& cell(Self& self, int project, int step, std::uint16_t address);

  Bank singles_{};      // working values of the single-cell registers
  Bank keptSingles_{};  // what 0x080A kept
  std::array<Project, kProjects> projects_{};
  std::array<Project, kProjects> kept_{};
  int project_ = 1;
  int step_ = 1;
};

inline bool operator==(const RegisterFile::Project& a, const RegisterFile::Project& b) {
  return a.regs == b.regs && a.steps == b.steps && a.a == b.a;
}

}  // namespace lorvane::sim
