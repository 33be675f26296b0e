// The path drawing of a backup's project: the backup is read as the simulator reads its own
// projects, the SVG of a fixed project stays the same, and the plot command writes it, or a PNG,
// without a display.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "frames/registers.h"
#include "sim/model.h"
#include "projects/backup_file.h"
#include "projects/plot.h"

using namespace lorvane;
using namespace lorvane::projects;

namespace {

// The demonstration project chained to project 2: an arc of more than a turn clockwise with a
// start condition, A on the Z/A page with a negative relative distance, a loop over both, and
// a taught point.
class Plotted : public ::testing::Test {
 protected:
  void SetUp() override {
    model.loadDemo();
    at(1, 1);
    set(reg::NextProject, 2);
    at(2, 1);
    set(reg::StepCount, 3);
    pulse(coil::ChooseArc);
    set(reg::TeachOrArcSize, 1);
    set(reg::ArcStartInput, 4);
    setLong(reg::ArcCentreX, -1500);
    setLong(reg::ArcEndX, -3000);
    at(2, 2);
    pulse(coil::ChooseNormal);
    set(reg::ZReplacedByA, 1);
    set(reg::NormalRunMode[reg::A], 2);
    set(reg::NormalDirection[reg::A], 1);
    setLong(reg::NormalDistance[reg::A], 1250);
    set(reg::NormalRunMode[reg::Y], 2);
    setLong(reg::NormalDistance[reg::Y], -700);
    set(reg::LoopFrom, 1);
    set(reg::LoopTo, 2);
    set(reg::LoopCount, 1);
    at(2, 3);
    pulse(coil::ChooseTeach);
    setLong(reg::TeachPulses[0], -8000);
    setLong(reg::TeachPulses[1], 3200);
    pulse(coil::SaveProject);
    at(1, 1);
    pulse(coil::SaveProject);
    model.advance(5000);
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath("state.json");
    QString error;
    ASSERT_TRUE(model.save(state, &error)) << error.toStdString();
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    auto b = fromSimState(f.readAll(), &error);
    ASSERT_TRUE(b) << error.toStdString();
    backup = *b;
    file = dir.filePath("projects.json");
    ASSERT_TRUE(save(backup, file, &error)) << error.toStdString();
  }
  void at(int project, int step) {
    ASSERT_EQ(model.writeRegister(reg::CurrentProject, static_cast<std::uint16_t>(project)), Ok);
    ASSERT_EQ(model.writeRegister(reg::CurrentStep, static_cast<std::uint16_t>(step)), Ok);
  }
  void set(std::uint16_t a, std::uint16_t v) { ASSERT_EQ(model.writeRegister(a, v), Ok); }
  void setLong(std::uint16_t a, std::int32_t v) { ASSERT_EQ(model.writeLong(a, v), Ok); }
  void pulse(std::uint16_t c) { ASSERT_EQ(model.writeCoil(c, true), Ok); }

  static constexpr auto Ok = sim::ControllerModel::Result::Ok;
  sim::ControllerModel model;
  QTemporaryDir dir;
  Backup backup;
  QString file;
};

TEST_F(Plotted, ABackupPlansTheSamePathAsTheSimulatorThatKeptIt) {
  const runner::Store simulator{[this](int p, int s, std::uint16_t a) { return model.stepRegister(p, s, a); },
                                [this](std::uint16_t a) { return model.reg(a); }, {}};
  const runner::Plan want = runner::plan(simulator, 1);
  const runner::Plan got = runner::plan(storeOf(backup), 1);
  ASSERT_EQ(want.moves.size(), 4u + 5u);  // the demo, then 1 2 1 2 3
  ASSERT_EQ(got.moves.size(), want.moves.size());
  for (size_t i = 0; i < want.moves.size(); ++i) {
    SCOPED_TRACE("move " + std::to_string(i));
    EXPECT_EQ(got.moves[i].project, want.moves[i].project);
    EXPECT_EQ(got.moves[i].step, want.moves[i].step);
    EXPECT_EQ(got.moves[i].kind, want.moves[i].kind);
    EXPECT_EQ(got.moves[i].to, want.moves[i].to);
    EXPECT_EQ(got.moves[i].sweep, want.moves[i].sweep);
    EXPECT_EQ(got.moves[i].conditions, want.moves[i].conditions);
  }
  EXPECT_EQ(got.moves[4].conditions, std::vector<int>{4});
  EXPECT_EQ(got.moves[5].to[reg::A], -1250);
  EXPECT_EQ(got.moves.back().to[reg::X], -2500);  // -8000 pulses at 1600 a turn of 5 mm
  ASSERT_EQ(got.marks.size(), 2u);
  EXPECT_EQ(got.marks[0].kind, runner::Plan::MarkKind::Chain);
  EXPECT_EQ(got.marks[1].kind, runner::Plan::MarkKind::LoopPassEnd);
}

// The SVG of this project, kept beside the test. After a deliberate change of the drawing, write
// it again with LORVANE_UPDATE_DRAWINGS=1 and look at it before committing.
TEST_F(Plotted, SvgOfAFixedProjectIsStable) {
  const QByteArray svg = path::svg(drawingOf(backup, 1));
  EXPECT_EQ(svg, path::svg(drawingOf(backup, 1)));
  const QString golden = QStringLiteral(LORVANE_TEST_DATA "/plot_project1.svg");
  if (qEnvironmentVariableIsSet("LORVANE_UPDATE_DRAWINGS")) {
    QFile out(golden);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(svg);
    QFile::remove(QStringLiteral(LORVANE_TEST_DATA "/plot_projects.json"));  // the backup drawn, to look at
    QFile::copy(file, QStringLiteral(LORVANE_TEST_DATA "/plot_projects.json"));
  }
  QFile in(golden);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << golden.toStdString();
  EXPECT_EQ(QString::fromUtf8(svg).toStdString(), QString::fromUtf8(in.readAll()).toStdString());
  // What a reader looks for: the title, the start, the marks, the start condition.
  for (const char* text : {"路径", "起点", "终点", "转工程", "循环第", "遍止", "1 (L4)"})
    EXPECT_TRUE(svg.contains(text)) << text;
}

TEST_F(Plotted, PlotCommandDrawsWithoutADisplay) {
  struct Case {
    QStringList args;
    int status;
    const char* says;  // in standard error
  };
  const QString svgOut = dir.filePath("p1.svg"), pngOut = dir.filePath("p1.png");
  const Case cases[] = {
      {{"plot", file, "--project", "1", "-o", svgOut}, 0, ""},
      {{"plot", file, "--project", "2", "--output", pngOut}, 0, ""},
      {{"plot", file, "-o", svgOut}, 2, "plot needs --project N, N in 1..10"},
      {{"plot", file, "--project", "11", "-o", svgOut}, 2, "plot needs --project N, N in 1..10"},
      {{"plot", file, "--project", "1"}, 2, "plot needs -o OUT.svg or -o OUT.png"},
      {{"plot", file, "--project", "1", "-o", dir.filePath("p1.txt")}, 1, "the drawing is written as .svg or .png"},
      {{"plot", dir.filePath("none.json"), "--project", "1", "-o", svgOut}, 1, "none.json"},
  };
  for (const Case& c : cases) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LORVANE_PROJECTS_PATH), c.args);
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), c.status) << c.args.join(' ').toStdString() << "\n" << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.says))) << err.toStdString();
  }
  QFile svg(svgOut);
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_EQ(svg.readAll(), path::svg(drawingOf(backup, 1)));
  const QImage png(pngOut);
  EXPECT_EQ(png.size(), path::kImageSize);
  EXPECT_FALSE(QFile::exists(dir.filePath("p1.txt")));
}

}  // namespace
