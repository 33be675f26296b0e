// The step function selection screen Mainfrm13 against the simulated controller, reached from
// the project parameter screen's "每步设定".
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "link/exchange.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "ui/controls.h"
#include "ui/session.h"
#include "ui/widgets.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

const QString kStepPending = QStringLiteral("步号尚未切换完毕，请稍后再试");
const QString kUnread = QStringLiteral("数据尚未读取完毕，请稍后再试");

// Main screen, port 1, the project screen, then "每步设定".
ui::Screen* openHub(ScreenEnv& env) {
  env.start();
  env.click("Okcmd");
  env.click("Efcmd");
  env.click("XYcmd");
  return env.currentScreen();
}

QString label(ScreenEnv& env, const char* name) { return env.map().current()->findChild<QLabel*>(name)->text(); }

// One whole read cycle: project, step, delay and the four function registers.
constexpr int kCycle = 7;

TEST(StepFunctions, HelpAsWritten) {
  ScreenEnv env;
  ui::Screen* s = openHub(env);
  ASSERT_EQ(s->objectName(), "Mainfrm13");
  const QStringList help = {
      "  ", "1-在“工程选择界面”点击“进入工", "  程”按键进入该界面。", "  ", "2-点击按键“上步”、“下步”选择",
      "  要设定的步号，也可直接点击数值", "  框设定。", "  ", "3-点击延时数值框可设置该步延时", "  启动。", "  ",
      "4-点击“示教”、“圆弧”、“直线”", "  “普通”可选择该步的功能，然后", "  点击右侧相应的按键进入各个功能",
      "  参数设置。", "  ", "注意：一旦开启一个功能，其它功能", "  都是无效的，例如：开启示教功能",
      "  就只能进入示教，点其它功能按钮", "  无效", "  "};
  auto* list = s->control<QListWidget>("List1");
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  EXPECT_EQ(lines, help);
}

TEST(StepFunctions, ReadCycleShowsStepDelayAndFunctionTexts) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentProject, 6);
  env.model.writeRegister(reg::CurrentStep, 9);
  env.model.writeRegister(reg::StepStartDelay, 1500);
  openHub(env);
  env.takeSent();
  env.ticks(kCycle);
  EXPECT_EQ(env.takeSent(), (QList<QByteArray>{"010310250001", "010310270001", "010310430001", "010310230001",
                                               "010310FD0001", "010310FE0001", "010310FF0001"}));
  EXPECT_EQ(label(env, "GClel"), "6");
  EXPECT_EQ(env.text("BUtxt"), "9");
  EXPECT_EQ(env.text("YStxt"), "1500");
  struct Flags { std::array<std::uint16_t, 4> values; std::array<const char*, 4> texts; };
  const Flags flags[] = {
      {{0, 0, 0, 0}, {"关闭示教功能", "关闭XYC轴画圆弧", "关闭XY轴画直线", "只开启ZA轴普通功能"}},
      {{1, 1, 1, 1}, {"开启示教功能", "开启XYC轴画圆弧", "开启XY轴画直线", "只开启ZCA轴普通功能"}},
      {{0, 0, 0, 2}, {"关闭示教功能", "关闭XYC轴画圆弧", "关闭XY轴画直线", "开启XYZCA轴普通功能"}},
      {{2, 2, 2, 3}, {"", "", "", ""}},  // a value without a text shows nothing
      {{1, 0, 0, 4}, {"开启示教功能", "关闭XYC轴画圆弧", "关闭XY轴画直线", ""}},
  };
  const std::uint16_t regs[] = {reg::TeachOrArcSize, reg::ArcFlag, reg::LineFlag, reg::NormalMode};
  const char* const labels[] = {"Label6", "Label7", "Label8", "Label9"};
  for (const Flags& f : flags) {
    for (int i = 0; i < 4; ++i) env.model.writeRegister(regs[i], f.values[static_cast<size_t>(i)]);
    env.ticks(kCycle);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(label(env, labels[i]), f.texts[static_cast<size_t>(i)]) << labels[i] << " " << f.values[static_cast<size_t>(i)];
  }
}

TEST(StepFunctions, StepNumberAndDelayAreCheckedAndWritten) {
  struct Case {
    const char* field;
    const char* button;
    const char* typed;
    QByteArray written;  // empty: refused
    QString message;
  };
  const QString stepRange = QStringLiteral("输入的信号范围不在1-50内");
  const Case cases[] = {
      {"BUtxt", "SD1cmd", "0", {}, stepRange},
      {"BUtxt", "SD1cmd", "1", "011010270001020001", {}},
      {"BUtxt", "SD1cmd", "50", "011010270001020032", {}},
      {"BUtxt", "SD1cmd", "51", {}, stepRange},
      {"YStxt", "SD2cmd", "65535", "01101043000102FFFF", {}},
      {"YStxt", "SD2cmd", "65536", {}, QStringLiteral("输入的信号范围不在0-65535内")},
      {"YStxt", "SD2cmd", "12abc", {}, QStringLiteral("输入的数据不是有效数字")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.typed);
    ScreenEnv env;
    env.model.writeRegister(reg::CurrentStep, 7);
    openHub(env);
    env.ticks(kCycle);
    EXPECT_EQ(env.typeAndClick({{c.field, c.typed}}, c.button, 3,
                               [&] {
                                 EXPECT_EQ(env.currentScreen()->exchange().interval(), 80)
                                     << "the write tick, for the rest of the visit";
                               }),
              c.written.isEmpty() ? ScreenEnv::refused(c.message) : ScreenEnv::wrote({c.written}));
  }
}

// A delay typed for step 3 never reaches step 4: while "下步" is on its way the delay is refused,
// and once it is done the field counts as unread until step 4's own delay has been read.
TEST(StepFunctions, ADelayTypedForOneStepIsNeverWrittenIntoTheNext) {
  ScreenEnv env;
  env.model.writeRegister(reg::StepCount, 10);
  env.model.writeRegister(reg::CurrentStep, 4);
  env.model.writeRegister(reg::StepStartDelay, 400);
  env.model.writeRegister(reg::CurrentStep, 3);
  env.model.writeRegister(reg::StepStartDelay, 300);
  openHub(env);
  env.ticks(kCycle);
  ASSERT_EQ(env.text("BUtxt"), "3");
  env.type("YStxt", "777");
  env.click("XBcmd");
  env.click("SD2cmd");
  EXPECT_EQ(env.boxes, QStringList{kStepPending});
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("XBcmd"); }, 10));
  env.click("SD2cmd");
  EXPECT_EQ(env.boxes, (QStringList{kStepPending, kUnread}));
  ASSERT_TRUE(env.tickUntil([&] { return env.text("YStxt") == "400"; }, kCycle)) << "step 4's own delay";
  EXPECT_EQ(env.text("BUtxt"), "4");
  env.click("SD2cmd");
  env.ticks(3);
  for (const QByteArray& w : env.takeWrites()) EXPECT_FALSE(w.startsWith("01101043") && w.endsWith("0309")) << w.toStdString();
  EXPECT_EQ(env.model.stepRegister(1, 3, reg::StepStartDelay), 300);
  EXPECT_EQ(env.model.stepRegister(1, 4, reg::StepStartDelay), 400);
  EXPECT_EQ(env.model.writeCount(reg::StepStartDelay), 3) << "the set-up's two, and step 4's own value once";
}

// Stand-in function pages, until the real ones are built.
class Page : public ui::Form {
 public:
  explicit Page(const QString& name) : Form(name) { ui::build(*this, {ui::label("Label1", name, "", 0)}); }
};

// Each entry button opens its page only while its label reads as on and has been read since the
// last step or function command, and notes the chain entered.
TEST(StepFunctions, EntryButtonsOpenTheirPageOnlyWithTheirFunctionOnAndFresh) {
  struct Entry {
    const char* choose;
    const char* enter;
    const char* label;
    const char* on;
    const char* page;
    int entryFunction;
  };
  const Entry entries[] = {
      {"SJcmd", "JScmd", "Label6", "开启示教功能", "Mainfrm16", 9},  // teach leaves it as it was
      {"YHcmd", "JYcmd", "Label7", "开启XYC轴画圆弧", "Mainfrm14", 1},
      {"ZXcmd", "JZcmd", "Label8", "开启XY轴画直线", "Mainfrm15", 2},
      {"PTcmd", "JPcmd", "Label9", "开启XYZCA轴普通功能", "Mainfrm17", 3},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.enter);
    ScreenEnv env;
    for (const char* name : {"Mainfrm14", "Mainfrm15", "Mainfrm16", "Mainfrm17"})
      env.map().addScreen(name, [n = QString(name)] { return new Page(n); });
    ui::session().entryFunction = 9;
    openHub(env);
    env.ticks(kCycle);
    const auto* hub = env.map().current();
    ASSERT_NE(label(env, e.label), e.on);
    env.click(e.enter);
    EXPECT_EQ(env.map().current(), hub) << "not on: nothing opens";
    EXPECT_TRUE(env.isRed(e.enter));

    env.click(e.choose);
    ASSERT_TRUE(env.tickUntil([&] { return label(env, e.label) == e.on; }, 2 * kCycle));
    // The same choice again: the label is blank until read again, and the button waits for it.
    env.click(e.choose);
    EXPECT_EQ(label(env, e.label), "");
    env.click(e.enter);
    EXPECT_EQ(env.map().current(), hub) << "not read since the command";
    ASSERT_TRUE(env.tickUntil([&] { return label(env, e.label) == e.on; }, 2 * kCycle));
    env.click(e.enter);
    ASSERT_EQ(env.map().current()->objectName(), e.page);
    EXPECT_EQ(ui::session().entryFunction, e.entryFunction);
    EXPECT_EQ(env.map().loadedForms().size(), 1);
    EXPECT_EQ(env.port(), nullptr) << "the hub's port is closed";
    EXPECT_TRUE(env.boxes.isEmpty()) << env.boxes.join(", ").toStdString();
  }
}

// A read sent before "下步" is answered after it: the label shows the step left, and the entry
// button does not take it for the new step's while the step command is on its way.
TEST(StepFunctions, AReadAnsweredAfterAStepCommandOpensNothing) {
  ScreenEnv env;
  env.onOpen = [&](test::SimPort& p) { p.setPacing(5, [&] { return double(env.now); }); };
  env.map().addScreen("Mainfrm15", [] { return new Page("Mainfrm15"); });
  env.model.writeRegister(reg::StepCount, 10);
  env.model.writeRegister(reg::CurrentStep, 5);
  env.model.writeCoil(coil::ChooseLine, true);
  openHub(env);
  Exchange& ex = env.currentScreen()->exchange();
  // The read of the line flag is on its way; its answer (step 5: on) is still on the line.
  const auto lineFlagOut = [&] {
    const QList<QByteArray>& sent = env.port()->sent();
    return !sent.isEmpty() && sent.last().contains("010310FE0001") && ex.busy();
  };
  ASSERT_TRUE(env.tickUntil([&] { return label(env, "Label8") == "开启XY轴画直线" && lineFlagOut(); }, 6 * kCycle));
  env.click("XBcmd");
  EXPECT_EQ(label(env, "Label8"), "");
  ASSERT_TRUE(env.tickUntil([&] { return label(env, "Label8") == "开启XY轴画直线"; }, 3)) << "step 5's answer arrives";
  ASSERT_TRUE(ex.waits("XBcmd"));
  env.click("JZcmd");
  EXPECT_EQ(env.map().current()->objectName(), "Mainfrm13");
  ASSERT_TRUE(env.tickUntil([&] { return !env.isRed("XBcmd"); }, 10));
  EXPECT_EQ(label(env, "Label8"), "") << "and once step 6 is current, until read";
  EXPECT_EQ(env.model.currentStep(), 6);
}

// The normal entry needs all five axes: a step whose normal function reports 4 (no text) shows
// nothing and opens nothing, nor do the pages without a screen of their own yet.
TEST(StepFunctions, AnUnknownNormalValueBlanksItsLabelAndOpensNothing) {
  ScreenEnv env;
  env.map().addScreen("Mainfrm17", [] { return new Page("Mainfrm17"); });
  openHub(env);
  env.model.writeRegister(reg::NormalMode, 2);
  ASSERT_TRUE(env.tickUntil([&] { return label(env, "Label9") == "开启XYZCA轴普通功能"; }, 2 * kCycle));
  env.model.writeRegister(reg::NormalMode, 4);
  env.ticks(kCycle);
  EXPECT_EQ(label(env, "Label9"), "");
  env.click("JPcmd");
  EXPECT_EQ(env.map().current()->objectName(), "Mainfrm13");
  EXPECT_TRUE(env.isRed("JPcmd"));
}

// A function whose page is not part of the program yet: its entry button turns red, opens
// nothing, and the hub goes on.

}  // namespace
