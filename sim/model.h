#pragma once
// The motion controller that lorvane-sim and the tests put at the far end of the line: its
// registers and coils, ten projects of fifty steps, five axes that move, thirteen inputs and
// twelve outputs. Time passes only through advance(), so everything it does is repeatable.
//
// It is made of parts: the register file (sim/register_file.h), the axes moved by hand and
// teaching (sim/motion.h), a project run in time (sim/project_run.h) and the state file
// (sim/state.h). The model takes the writes the slave passes on, hands each command coil to its
// handler, and keeps the status registers in step with the machine.
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "frames/registers.h"
#include "sim/event.h"
#include "sim/motion.h"
#include "sim/project_run.h"
#include "sim/register_file.h"

namespace lorvane::sim {

struct CoilWrite {
  std::uint16_t coil;
  bool on;
  bool operator==(const CoilWrite&) const = default;
};

class ControllerModel : public QObject {
  Q_OBJECT
 public:
  // How long the controller takes for the things that take time (milliseconds).
  struct Timing {
    int stepMs = 300;         // travel of one step of a run (its start and end delays come on top)
    int parametersMs = 150;   // keeping the axis and system parameters (0x080A)
    // The project commands take seconds, as a controller writing its flash does.
    int saveMs = 2000;   // keeping a project (0x0807)
    int readMs = 3000;   // until the presence flag and check value report the project (0x0808)
    int clearMs = 2000;  // clearing a project (0x0809)
  };

  // Outcome of a write, as the slave turns it into a reply.
  enum class Result { Ok, IllegalAddress, IllegalValue };

  explicit ControllerModel(QObject* parent = nullptr);

  // ---- The register and coil map.
  static bool hasRegister(int address) { return RegisterFile::hasRegister(address); }
  static bool hasCoil(int address) { return address >= coil::kFirst && address <= coil::kLast; }
  // Addresses kept per step / per project (see sim/register_file.h).
  static bool isStepRegister(std::uint16_t address) { return reg::stepBanked(address); }
  static bool isProjectRegister(std::uint16_t address) { return reg::projectBanked(address); }

  std::uint16_t reg(std::uint16_t address) const { return hasRegister(address) ? regs_.at(address) : 0; }
  std::int32_t regLong(std::uint16_t first) const { return regs_.pair(first); }  // a pair, low word first
  // Writes consecutive registers from first; nothing is written unless all of them can be.
  Result writeRegisters(std::uint16_t first, const QList<std::uint16_t>& values);
  Result writeRegister(std::uint16_t address, std::uint16_t value) { return writeRegisters(address, {value}); }
  Result writeLong(std::uint16_t first, std::int32_t value) { return writeRegisters(first, {lowWord(value), highWord(value)}); }
  Result writeCoil(std::uint16_t coil, bool on);
  bool coil(std::uint16_t c) const { return hasCoil(c) && coils_[c - coil::kFirst]; }

  // ---- Time.
  void advance(int ms);
  qint64 elapsedMs() const { return now_; }
  Timing& timing() { return timing_; }

  // ---- The machine, as an operator standing beside it sees it. Axes 0..4 are X Y Z C A;
  // inputs and outputs count from 1.
  std::int32_t position(int axis) const { return in(axis, 0, kAxes - 1) ? clampToLong(positions_[axis]) : 0; }  // hundredths of a mm
  void setPosition(int axis, std::int32_t hundredths);
  bool axisMoving(int axis) const;
  bool input(int n) const { return in(n, 1, kInputs) && inputs_[static_cast<size_t>(n - 1)]; }
  void setInput(int n, bool active);
  bool output(int n) const { return in(n, 1, kOutputs) && outputs_[static_cast<size_t>(n - 1)]; }
  bool inputTest() const { return inputTest_; }
  bool running() const { return run_.active(); }
  int currentProject() const { return regs_.currentProject(); }
  int currentStep() const { return regs_.currentStep(); }
  // A stored step value of any project and step (1-based), without changing the current ones.
  std::uint16_t stepRegister(int project, int step, std::uint16_t address) const;
  std::uint16_t projectRegister(int project, std::uint16_t address) const { return stepRegister(project, 1, address); }
  const RegisterFile& registers() const { return regs_; }
  // What the controller is busy keeping, reading or clearing, if anything.
  std::optional<Event> busyWith() const;
  // Programs project 1 with a short demonstration (four steps) so a fresh simulator has
  // something to run.
  void loadDemo();

  // ---- What the controller keeps. The parameters are kept on coil 0x080A, a project on 0x0807;
  // both go to the state file when one is set. save() writes what is kept; load() restores it
  // as the working values too.
  void setStateFile(const QString& path) { stateFile_ = path; }
  QString stateFile() const { return stateFile_; }
  bool save(const QString& path, QString* error = nullptr) const;
  bool load(const QString& path, QString* error = nullptr);

  // ---- Counters for tests and the console.
  int writeCount(std::uint16_t address) const { return writeCounts_.value(address); }
  const QList<CoilWrite>& coilWrites() const { return coilWrites_; }  // the most recent few thousand
  int completedRuns() const { return run_.completed(); }
  void clearCounters();

 signals:
  // Something the machine did (run started, project kept, jog ended, ...); Console::describe()
  // says it in words.
  void happened(const lorvane::sim::Event& event);

 private:
  using Handler = std::function<void(bool on)>;
  struct Job {
    int left;
    std::function<void()> work;
    Event done;
  };

  void reset();
  QHash<std::uint16_t, Handler> commands();
  void queueJob(int ms, Event done, std::function<void()> work);
  void tick();
  void startRun();
  void outputTest();
  void setOutput(int n, bool on);
  void persist();
  void syncStatus();
  void report(const Event& e) { emit happened(e); }

  Timing timing_;
  qint64 now_ = 0;
  RegisterFile regs_;
  Positions positions_{};
  std::array<bool, coil::kLast - coil::kFirst + 1> coils_{};
  std::array<bool, kInputs> inputs_{};
  std::array<bool, kOutputs> outputs_{};
  bool inputTest_ = false;
  ManualMotion motion_;
  ProjectRun run_;
  QHash<std::uint16_t, Handler> commands_;  // command coil -> what it does
  QList<Job> jobs_;  // save, read and clear run one after another, as a controller's flash does
  QString stateFile_;
  QHash<std::uint16_t, int> writeCounts_;
  QList<CoilWrite> coilWrites_;
};

}  // namespace lorvane::sim
