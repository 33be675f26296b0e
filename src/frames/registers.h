#pragma once
// The controller's register and coil map, named once for the screens and the simulator.
#include <array>
#include <cstdint>

namespace lorvane::reg {

inline constexpr std::uint16_t kFirst = 0x1001;
inline constexpr std::uint16_t kLast = 0x10FF;

// Run control and monitoring.
inline constexpr std::uint16_t EndDelay = 0x1024;
inline constexpr std::uint16_t CurrentProject = 0x1025;
inline constexpr std::uint16_t StepCount = 0x1026;
inline constexpr std::uint16_t CurrentStep = 0x1027;
inline constexpr std::uint16_t RunStatus = 0x1058;  // 0 standby, 1..50 the running step
inline constexpr std::uint16_t StartDelay = 0x1059;
inline constexpr std::uint16_t DrawingMode = 0x105A;
inline constexpr std::uint16_t SignalJA = 0x105B;  // JA..JE at 0x105B..0x105F
inline constexpr std::uint16_t OutputY1 = 0x1060;  // Y1..Y4 at 0x1060..0x1063
inline constexpr std::uint16_t StartSwitch = 0x106E;
inline constexpr std::uint16_t StopSwitch = 0x106F;
inline constexpr std::uint16_t ProductionCount = 0x10DE;

enum Axis { X = 0, Y, Z, C, A, AxisCount };

// Axis position register pairs (hundredths of a millimetre, low word first).
inline constexpr std::array<std::uint16_t, AxisCount> Position = {0x1064, 0x1066, 0x1068, 0x10A0, 0x106A};

// The ten basic parameters of each axis, in the order they are read and written.
enum AxisParam {
  Microstep = 0, DebugSpeed, ZeroInput, ReverseLimit, ForwardLimit,
  StepAngle, StartFreq, AccelFreq, PulsesPerRev, LeadMicrons, AxisParamCount
};
inline constexpr std::array<std::array<std::uint16_t, AxisCount>, AxisParamCount> AxisParamReg = {{
    {0x1004, 0x100B, 0x1012, 0x10A5, 0x1051},  // microstepping
    {0x1003, 0x100A, 0x1011, 0x10A3, 0x104F},  // debug speed, RPM
    {0x1016, 0x1017, 0x1018, 0x10A4, 0x1050},  // mechanical-zero (homing) input
    {0x10D7, 0x10D8, 0x10D9, 0x10DA, 0x10DB},  // reverse-limit input
    {0x10E1, 0x10E2, 0x10E3, 0x10E4, 0x10E5},  // forward-limit input
    {0x1005, 0x100C, 0x1013, 0x10A6, 0x1052},  // step angle, degrees x 100
    {0x1001, 0x1008, 0x100F, 0x10B2, 0x104D},  // start frequency, Hz
    {0x1002, 0x1009, 0x1010, 0x10A2, 0x104E},  // acceleration frequency, Hz
    {0x1006, 0x100D, 0x1014, 0x10A7, 0x1053},  // pulses per motor revolution
    {0x1007, 0x100E, 0x1015, 0x10A8, 0x1054},  // travel per revolution, mm x 1000
}};

// Axis debugging: jog distance (hundredths of a mm) and jog direction (0 forward, 1 reverse).
inline constexpr std::array<std::uint16_t, AxisCount> JogDistance = {0x1019, 0x101D, 0x1021, 0x10A9, 0x1056};
inline constexpr std::array<std::uint16_t, AxisCount> JogDirection = {0x101A, 0x101E, 0x1022, 0x10AA, 0x1057};

// Input and output tests.
inline constexpr std::uint16_t TestFirst = 0x10C8;
inline constexpr std::uint16_t TestLast = 0x10D6;

// ---- Added for the simulator and the step pages (names only; the addresses above stay) ----

// Project store: presence flag and check value that the read-parameters command reports.
inline constexpr std::uint16_t HasParameters = 0x109F;   // 0 none, 1 present
inline constexpr std::uint16_t ParameterCheck = 0x10C7;  // 0 when every step parameter is zero

// Input and output tests.
inline constexpr std::uint16_t InputTestState = 0x10C8;  // L1..L13 at 0x10C8..0x10D4: 0 idle, 1 on, 2 off
inline constexpr std::uint16_t OutputTestNumber = 0x10D5;   // 1..12
inline constexpr std::uint16_t OutputTestSetting = 0x10D6;  // 0 on, 1 off

// Step function of the current step.
inline constexpr std::uint16_t TeachOrArcSize = 0x1023;  // teach flag on the hub, arc size on the arc page
inline constexpr std::uint16_t ArcFlag = 0x10FD;
inline constexpr std::uint16_t LineFlag = 0x10FE;
inline constexpr std::uint16_t NormalMode = 0x10FF;  // 0 ZA, 1 ZCA, 2 XYZCA, 3 none (teach step)
inline constexpr std::uint16_t StepStartDelay = 0x1043;  // ms before the step starts
inline constexpr std::uint16_t StepEndDelay = 0x103D;    // ms after the step has run

// Arc step (coordinates are register pairs, hundredths of a mm, relative to the step's start).
inline constexpr std::uint16_t ArcStartInput = 0x1044;
inline constexpr std::uint16_t ArcStartStop = 0x1045;
inline constexpr std::uint16_t ArcCentreX = 0x10F0;
inline constexpr std::uint16_t ArcCentreY = 0x10F2;
inline constexpr std::uint16_t ArcEndX = 0x10F4;
inline constexpr std::uint16_t ArcEndY = 0x10F6;
inline constexpr std::uint16_t ArcDirection = 0x10FC;  // 0 clockwise, 1 counter-clockwise
inline constexpr std::uint16_t ArcSpeed = 0x10B4;

// Line step.
inline constexpr std::uint16_t LineStartInput = 0x1046;
inline constexpr std::uint16_t LineStartStop = 0x1047;
inline constexpr std::uint16_t LineEndX = 0x10F8;
inline constexpr std::uint16_t LineEndY = 0x10FA;
inline constexpr std::uint16_t LineSpeed = 0x10BE;

// Teach step, axes X, Y, Z, C.
inline constexpr std::array<std::uint16_t, 4> TeachAxisMode = {0x1070, 0x1071, 0x1072, 0x1073};  // 0 teach, 1 normal
inline constexpr std::array<std::uint16_t, 4> TeachPulses = {0x1074, 0x1076, 0x1078, 0x107A};    // pairs
inline constexpr std::array<std::uint16_t, 4> TeachSpeed = {0x107C, 0x107D, 0x107E, 0x107F};

// Normal step pages, by axis; Z and A share the Z/A page, which ZReplacedByA selects.
inline constexpr std::array<std::uint16_t, AxisCount> NormalStartInput = {0x1044, 0x1046, 0x1048, 0x10AB, 0x1048};
inline constexpr std::array<std::uint16_t, AxisCount> NormalStartStop = {0x1045, 0x1047, 0x1049, 0x10AC, 0x1049};
inline constexpr std::array<std::uint16_t, AxisCount> NormalRunMode = {0x1028, 0x102C, 0x1030, 0x10AD, 0x1030};
inline constexpr std::array<std::uint16_t, AxisCount> NormalDirection = {0x1029, 0x102D, 0x1031, 0x10AE, 0x1031};
inline constexpr std::array<std::uint16_t, AxisCount> NormalAbsolute = {0x109C, 0x109D, 0x109E, 0x10B1, 0x109E};
inline constexpr std::array<std::uint16_t, AxisCount> NormalSpeed = {0x103F, 0x1040, 0x1041, 0x10BF, 0x1041};
inline constexpr std::array<std::uint16_t, AxisCount> NormalDistance = {0x102A, 0x102E, 0x1032, 0x10AF, 0x1032};
inline constexpr std::uint16_t ZReplacedByA = 0x1055;

// Direct outputs (four groups) and input-conditioned outputs (three groups).
inline constexpr std::array<std::uint16_t, 4> DirectOutput = {0x1034, 0x1035, 0x1036, 0x103E};
inline constexpr std::array<std::uint16_t, 4> DirectOutputState = {0x1096, 0x1097, 0x1098, 0x1095};  // 0 on, 1 off
inline constexpr std::array<std::uint16_t, 3> CondInput = {0x1037, 0x1039, 0x103B};
inline constexpr std::array<std::uint16_t, 3> CondInputState = {0x10E3, 0x10E4, 0x10E5};  // 1 active, 0 inactive
inline constexpr std::array<std::uint16_t, 3> CondOutput = {0x1038, 0x103A, 0x103C};
inline constexpr std::array<std::uint16_t, 3> CondOutputState = {0x1099, 0x109A, 0x109B};  // 0 on, 1 off

// Step loop, and the project-wide settings of the timing page.
inline constexpr std::uint16_t LoopFrom = 0x104A;
inline constexpr std::uint16_t LoopTo = 0x104B;
inline constexpr std::uint16_t LoopCount = 0x104C;
inline constexpr std::uint16_t SpeedOverride = 0x10DD;  // % for every step of the project
inline constexpr std::uint16_t ProjectLoops = 0x1042;   // 0 no, 1 yes
inline constexpr std::uint16_t NextProject = 0x10DF;    // 0 none, 1..10

// Registers the controller keeps per step of the current project (0x1025 and 0x1027 select
// them), and per project. A change of step or project gives them other values.
constexpr bool stepBanked(std::uint16_t a) {
  const auto in = [a](std::uint16_t lo, std::uint16_t hi) { return a >= lo && a <= hi; };
  return a == TeachOrArcSize || (in(0x1028, 0x104C) && a != ProjectLoops) || a == ZReplacedByA || in(0x1070, 0x107F) ||
         in(0x1095, 0x109E) || in(0x10AB, 0x10B1) || a == ArcSpeed || a == LineSpeed || a == 0x10BF ||
         in(0x10E3, 0x10E5) || in(0x10F0, 0x10FF);
}
constexpr bool projectBanked(std::uint16_t a) {
  return a == StepCount || a == ProjectLoops || a == SpeedOverride || a == NextProject;
}
constexpr bool banked(std::uint16_t a) { return stepBanked(a) || projectBanked(a); }

}  // namespace lorvane::reg

namespace lorvane::coil {

inline constexpr std::uint16_t kFirst = 0x0801;
inline constexpr std::uint16_t kLast = 0x087B;

inline constexpr std::uint16_t SaveProject = 0x0807;
inline constexpr std::uint16_t ReadProject = 0x0808;
inline constexpr std::uint16_t ClearProject = 0x0809;
inline constexpr std::uint16_t SaveParameters = 0x080A;
inline constexpr std::uint16_t Start = 0x0832;
inline constexpr std::uint16_t Stop = 0x0833;
inline constexpr std::uint16_t InputTest = 0x0837;
inline constexpr std::uint16_t OutputTest = 0x0838;

inline constexpr std::array<std::uint16_t, reg::AxisCount> Jog = {0x0801, 0x0803, 0x0805, 0x0850, 0x085A};
inline constexpr std::array<std::uint16_t, reg::AxisCount> Home = {0x0802, 0x0804, 0x0806, 0x0851, 0x085B};
inline constexpr std::array<std::uint16_t, reg::AxisCount> Forward = {0x0834, 0x0835, 0x0836, 0x0852, 0x085C};
inline constexpr std::array<std::uint16_t, reg::AxisCount> Reverse = {0x083C, 0x083D, 0x083E, 0x0853, 0x085D};

// ---- Added for the simulator and the step pages (names only; the addresses above stay) ----
inline constexpr std::uint16_t PrevStep = 0x0862;
inline constexpr std::uint16_t NextStep = 0x0863;
inline constexpr std::uint16_t ChooseTeach = 0x0864;
inline constexpr std::uint16_t ChooseArc = 0x0865;
inline constexpr std::uint16_t ChooseLine = 0x0866;
inline constexpr std::uint16_t ChooseNormal = 0x0867;
inline constexpr std::uint16_t ArcClockwise = 0x0868;
inline constexpr std::uint16_t ArcCounterClockwise = 0x0869;
// Teach step, axes X, Y, Z, C: toggle teach/normal, and hold-to-run jogs.
inline constexpr std::array<std::uint16_t, 4> TeachToggle = {0x086E, 0x086F, 0x0870, 0x0871};
inline constexpr std::array<std::uint16_t, 4> TeachForward = {0x0872, 0x0874, 0x0876, 0x0878};
inline constexpr std::array<std::uint16_t, 4> TeachReverse = {0x0873, 0x0875, 0x0877, 0x0879};
inline constexpr std::uint16_t TeachStore = 0x087A;
inline constexpr std::uint16_t TeachMatchSpeeds = 0x087B;

}  // namespace lorvane::coil
