#pragma once
// The motion controller that lorvane-sim and the tests put at the far end of the line: its
// registers and coils, ten projects of fifty steps, five axes that move, thirteen inputs and
// twelve outputs. Time passes only through advance(), so everything it does is repeatable.
//
// Register storage. Most addresses are one cell each. The step-page registers are kept per step
// of every project and the project-wide ones per project; a read or write of those addresses
// reaches the current step (0x1027) of the current project (0x1025), so switching the project or
// the step shows that step's own values.
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
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "frames/registers.h"
#include "sim/runner.h"

namespace lorvane::sim {

inline constexpr int kProjects = 10;
inline constexpr int kSteps = 50;
inline constexpr int kInputs = 13;
inline constexpr int kOutputs = 12;
inline constexpr int kAxes = reg::AxisCount;

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
  static bool hasRegister(int address) { return address >= reg::kFirst && address <= reg::kLast; }
  static bool hasCoil(int address) { return address >= coil::kFirst && address <= coil::kLast; }
  // Addresses kept per step / per project (see the note at the top).
  static bool isStepRegister(std::uint16_t address);
  static bool isProjectRegister(std::uint16_t address);

  std::uint16_t reg(std::uint16_t address) const;
  std::int32_t regLong(std::uint16_t first) const;  // a pair, low word first
  // Writes consecutive registers from first; nothing is written unless all of them can be.
  Result writeRegisters(std::uint16_t first, const QList<std::uint16_t>& values);
  Result writeRegister(std::uint16_t address, std::uint16_t value) { return writeRegisters(address, {value}); }
  Result writeLong(std::uint16_t first, std::int32_t value);
  Result writeCoil(std::uint16_t coil, bool on);
  bool coil(std::uint16_t coil) const;

  // ---- Time.
  void advance(int ms);
  qint64 elapsedMs() const { return now_; }
  Timing& timing() { return timing_; }

  // ---- The machine, as an operator standing beside it sees it. Axes 0..4 are X Y Z C A;
  // inputs and outputs count from 1.
  std::int32_t position(int axis) const;  // hundredths of a mm
  void setPosition(int axis, std::int32_t hundredths);
  bool axisMoving(int axis) const;
  bool input(int n) const;
  void setInput(int n, bool active);
  bool output(int n) const;
  bool running() const { return run_.active; }
  int currentProject() const { return current_.project; }
  int currentStep() const { return current_.step; }
  // A stored step value of any project and step (1-based), without changing the current ones.
  std::uint16_t stepRegister(int project, int step, std::uint16_t address) const;
  std::uint16_t projectRegister(int project, std::uint16_t address) const;
  // What a project and one of its steps hold, for the console: the working values and whether
  // they are the kept ones.
  QString projectText(int project) const;
  QString stepText(int project, int step) const;
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
  int completedRuns() const { return completedRuns_; }
  void clearCounters();
  // A readable summary: project, step, run status, positions, inputs, outputs.
  QString stateText() const;

 signals:
  // One line about something the machine did (run started, project kept, jog ended, ...).
  void note(const QString& line);

 private:
  using Bank = std::array<std::uint16_t, 256>;  // indexed by address - 0x1000
  // The registers of the Z/A page's settings. A step keeps them twice, for Z and for A; its
  // 0x1055 says which axis's values they read and write (and which axis a run drives).
  static constexpr std::array<std::uint16_t, 8> kZaRegisters = {0x1048, 0x1049, 0x1030, 0x1031,
                                                                0x1032, 0x1033, 0x1041, 0x109E};
  using ASettings = std::array<std::uint16_t, kZaRegisters.size()>;
  struct Project {
    Bank regs{};                    // project-wide registers
    std::array<Bank, kSteps> steps{};
    std::array<ASettings, kSteps> a{};  // A's settings of each step (Z's are in its bank)
  };
  struct Selection {
    int project = 1;
    int step = 1;
  };
  enum class Manual { None, Jog, Home };
  struct Axis {
    double pos = 0;        // hundredths of a mm
    Manual manual = Manual::None;
    double target = 0;     // jog target
    double travelled = 0;  // homing safety stop
  };
  enum class RunPhase { StartDelay, Move, EndDelay };
  // A run: where it is in the project (the runner's sequence) and the step's move under way.
  struct Run {
    bool active = false;
    runner::Sequence seq{1};
    RunPhase phase = RunPhase::StartDelay;
    int left = 0;  // ms left in this phase
    int moveMs = 0;
    int moveDone = 0;
    runner::Move move;
  };
  struct Job {
    int left;
    std::function<void()> work;
    QString what;
  };

  std::uint16_t& cell(std::uint16_t address);
  // Where in `Project::a` the register is held, when the step gives the Z/A settings to A; else -1.
  int aSlot(int project, int step, std::uint16_t address) const;
  static QJsonObject aSettingsJson(const Project& p);
  static void loadASettings(Project& p, const QJsonObject& steps);
  std::uint16_t cellAt(int project, int step, std::uint16_t address) const;
  std::int32_t longAt(int project, int step, std::uint16_t first) const;
  Project& proj(int n) { return projects_[static_cast<size_t>(n - 1)]; }
  const Project& proj(int n) const { return projects_[static_cast<size_t>(n - 1)]; }
  void setDefaults();
  void applyRegisterWrite(std::uint16_t address);
  void command(std::uint16_t coil, bool on);
  void queueJob(int ms, const QString& what, std::function<void()> work);
  void tick();
  void moveManual(int axis);
  double manualRate(int axis) const;
  bool limitHit(int axis, int direction) const;
  std::uint16_t forwardLimitInput(int axis) const;
  int holdDirection(int axis) const;
  void startRun();
  void stopRun(const QString& why);
  void beginStep();
  void beginMove();
  void tickRun();
  void finishStep();
  runner::Store store() const;
  void setOutput(int n, bool on);
  std::int32_t hundredthsToPulses(int axis, double hundredths) const;
  void storeTeachPoint();
  void matchTeachSpeeds();
  void reportProject();
  void keepParameters();
  void keepProject(int project);
  void clearProject(int project);
  void persist();
  void syncStatus();

  Timing timing_;
  qint64 now_ = 0;
  Bank regs_{};            // working values of the single-cell registers
  Bank keptRegs_{};        // what 0x080A kept
  std::array<Project, kProjects> projects_{};
  std::array<Project, kProjects> keptProjects_{};
  std::array<bool, coil::kLast - coil::kFirst + 1> coils_{};
  Selection current_;
  std::array<Axis, kAxes> axes_{};
  std::array<bool, kInputs> inputs_{};
  std::array<bool, kOutputs> outputs_{};
  bool inputTest_ = false;
  Run run_;
  QList<Job> jobs_;  // save, read and clear run one after another, as a controller's flash does
  QString stateFile_;
  QHash<std::uint16_t, int> writeCounts_;
  QList<CoilWrite> coilWrites_;
  int completedRuns_ = 0;
};

}  // namespace lorvane::sim
