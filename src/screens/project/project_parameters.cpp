#include "screens/project/project_parameters.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "screens/project/path_window.h"
#include "ui/controls.h"

namespace lorvane::screens {

using namespace lorvane::ui;

namespace {

const Texts kPresence = {{0, QStringLiteral("无参数")}, {1, QStringLiteral("有参数")}};

// A project change is not acknowledged yet: what the screen would clear, keep or set may still
// be the old project's.
QString projectPending() { return QCoreApplication::translate("lorvane", "工程号尚未设置完毕，请稍后再试"); }
QString projectUnread() { return QCoreApplication::translate("lorvane", "工程号尚未读取，请稍后再试"); }
QString readNotReset() { return QCoreApplication::translate("lorvane", "读取工程参数命令未能复位，请检查串口连接"); }

// The confirmation names the project the controller reported, the one the clear acts on.
QString clearQuestion(const std::function<std::optional<std::int64_t>(const Name&)>& lastRead) {
  return QCoreApplication::translate("lorvane", "是否删除%1号工程的基本参数？").arg(lastRead("PRtxt").value_or(0));
}

// ---- The phase table -------------------------------------------------------------------------

ScreenDecl exchangeTable() {
  // Every pass through the parameter flag puts the tick back to its resting interval.
  const auto resting = [](std::int64_t) -> std::optional<int> { return ProjectParameters::kIdleMs; };
  return ScreenDecl{
      .intervalMs = ProjectParameters::kIdleMs,
      .silentLimit = 5,
      .reads = {
          // The project number is shown three times: where it is set, and before each group that
          // acts on it.
          Read{.reg = reg::CurrentProject, .field = "PRtxt", .also = {Show{"PR1txt"}, Show{"PR2txt"}}},
          Read{.reg = reg::HasParameters, .field = "DQtxt", .texts = kPresence, .interval = resting},
          Read{.reg = reg::StepCount, .field = "BStxt"},
          Read{.reg = reg::ParameterCheck, .field = "CStxt"},
      },
      .sequences = {
          // The project number. Once the controller has it, the step count read before is another
          // project's: it is read again before it can be written, and the number itself shows
          // nothing until read back, so a clear never names the project left.
          Sequence{.button = "SUcmd",
                   .steps = {Write{.reg = reg::CurrentProject, .field = "PRtxt", .range = range(1, 10)}},
                   .clears = ClearLocks::All,
                   .onClick = {RestartTimer{}},
                   .onDone = {ForgetBanked{}, Blank{{"PRtxt", "PR1txt", "PR2txt"}}}},
          // The step count of the current project.
          Sequence{.button = "SAcmd",
                   .steps = {Write{.reg = reg::StepCount, .field = "BStxt", .range = reg::rangeOf(reg::StepCount)}},
                   .clears = ClearLocks::All,
                   .onClick = {SetInterval{ProjectParameters::kBusyMs}},
                   .guards = {refusedWhile({"SUcmd"}, projectPending())}},
          // Read parameters: the coil ON, two seconds, OFF, two seconds. The controller then
          // reports the project in the flag and the check value.
          Sequence{.button = "DQcmd",
                   .steps = {Pulse{.coil = coil::ReadProject,
                                   .onMs = ProjectParameters::kReadOnMs,
                                   .afterMs = ProjectParameters::kReadAfterMs,
                                   .undelivered = readNotReset()}}},
          // Clear, once the operator has confirmed which project; then the parameters are read
          // again by themselves, so the flag shows the cleared project.
          Sequence{.button = "QLcmd",
                   .steps = {Coil{.coil = coil::ClearProject}},
                   .onDone = {Message{QStringLiteral("数据清0成功！")}, SetInterval{ProjectParameters::kBusyMs},
                              StartSequence{"DQcmd"}},
                   .confirm = Confirm{QStringLiteral(" 删除数据提醒"), clearQuestion},
                   .guards = {refusedWhile({"SUcmd"}, projectPending()), needsRead({"PRtxt"}, projectUnread())}},
          // Keep the whole project; the command is sent again until answered (keeping it twice
          // does no harm, a save lost on the line would).
          Sequence{.button = "Command1",
                   .steps = {Coil{.coil = coil::SaveProject, .repeat = true}},
                   .guards = {refusedWhile({"SUcmd"}, projectPending()), needsRead({"PRtxt"}, projectUnread())}},
      },
  };
}

// ---- The controls ----------------------------------------------------------------------------

const QStringList kHelp = {
    "",
    "1、设置工程号(可以设置1-10个工程)",
    "",
    "2、对设置好的工程号进行参数的读取，",
    "   若工程中存在参数，则会显示有参数",
    "   可以对其是否进行清除，点击清除参",
    "   数时，会弹出对话框，可进一步进行",
    "   选择是否清除参数，若清除成功，再",
    "   次点击参数读取，过10秒左右显示无",
    "   参数",
    "",
    "3、设置工程步数(可以设置1-50步)",
    "   若不清楚工程多少步，可以先进行预",
    "   设，等你在工程中实际设定了多少步",
    "   再回到该界面进行更改",
    "",
    "4、工程整体保存，该操作在设置完每步",
    "   具体参数后，回到该界面进行工程整",
    "   体保存并进行参数读取，则过10秒左",
    "   右显示有参数",
    "",
    "5、设定完所有工程参数后，必须进入本",
    "   界面进行保存",
    "",
    "6、工程参数清零检查：在工程步数为零",
    "   的情况下，按“读取该工程”按键",
    "   等待3秒，右上角显示0说明该工程",
    "   参数全部为零，显示有数字说明工",
    "   程里有不为零的参数。",
    "",
    "注意：当点击的按钮出现20秒没有恢复",
    "      本色，请再点击一次。",
    "      若出现设置好参数后没有保存到",
    "      请再设置一次，并进行保存",
    "",
};

const Controls kControls = {
    heading("Label1", "可保存10个工程--(每个工程可设50步)", "", 0),
    // Left: the project, its parameters, its step count and the way on; right: the help.
    group("Frame1", "工程参数设置", "", 1),
    entry("PRtxt", "0", "Frame1", 0), label("Label2", "号工程", "Frame1", 0),
    button("SUcmd", "设置工程号", SystemButton, "Frame1", 0),

    group("Frame2", "工程参数读取及清零", "", 2),
    display("PR1txt", "0", "Frame2", 0, Cyan), label("Label3", "号工程", "Frame2", 0),
    button("DQcmd", "读取工程参数", SystemButton, "Frame2", 0),
    button("QLcmd", "工程参数清零", SystemButton, "Frame2", 0),
    display("DQtxt", "", "Frame2", 1, Red), label("Label5", "参数检测显示", "Frame2", 1, Yellow),
    display("CStxt", "0", "Frame2", 1, Cyan),

    group("Frame4", "设定工程步数", "", 3),
    display("PR2txt", "0", "Frame4", 0, Cyan), label("Label4", "号工程设定的步数:", "Frame4", 0),
    entry("BStxt", "0", "Frame4", 0), button("SAcmd", "设 置", SystemButton, "Frame4", 0),

    group("Frame3", "", "", 4),
    button("SYcmd", "返回主界面", Green, "Frame3", 0), button("Command1", "工程整体保存", Yellow, "Frame3", 0),
    button("XYcmd", "每步设定", SystemButton, "Frame3", 0),
    button("LJcmd", "路径预览", SystemButton, "Frame3", 0),
    // The help beside the four groups, its 35 lines in a slightly smaller font so that the window
    // fits a 768-pixel display.
    overLines(group("Frame5", "本界面操作说明", "", 1, Red), 4), sized(instructionList("List1", kHelp, "Frame5"), 0.9),
};

}  // namespace

ProjectParameters::ProjectParameters() : Screen("Mainfrm12", exchangeTable()) {
  build(*this, kControls);
  bindControls();
  // The path window for the project shown, read from the controller as it holds it now (a backup
  // file can be opened in it too).
  connect(control<QPushButton>("LJcmd"), &QPushButton::clicked, this, [this] {
    auto* window = new PathWindow(this, control<QLineEdit>("PRtxt")->text().toInt(), &exchange());
    window->show();
    window->readFromController();
  });
}

}  // namespace lorvane::screens
