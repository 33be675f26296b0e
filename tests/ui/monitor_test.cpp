// The traffic monitor and the trace file: after a run on a line that loses, corrupts and delays
// replies, the counters say what happened and the trace holds the very lines of the list; the list
// keeps the last frames, filters by register, pauses and clears; F12 opens one monitor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "link/exchange.h"
#include "frames/frames.h"
#include "link/link.h"
#include "link/trace.h"
#include "screen_env.h"
#include "sim_port.h"
#include "ui/monitor.h"

using namespace lorvane;
using lorvane::ui::Monitor;

namespace {

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override { Traffic::instance().reset(); }
  void TearDown() override {
    Monitor::discard();
    Traffic::instance().reset();
  }
};

// The lines of a trace file, without its header.
QStringList traceLines(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  QStringList lines;
  for (const QString& l : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    if (!l.startsWith(QLatin1Char('#'))) lines << l;
  return lines;
}

int countContaining(const QStringList& lines, const QString& text) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(text); }));
}

TEST_F(MonitorTest, CountersAndTraceAfterALossyRun) {
  QTemporaryDir dir;
  TraceFile trace;
  ASSERT_TRUE(trace.start(dir.filePath("trace.txt")));
  Monitor* monitor = Monitor::open();
  Traffic::instance().setPort(QStringLiteral("com1"));

  test::SimPort port;
  Link link(&port);
  ScreenDecl decl;
  decl.intervalMs = 80;
  decl.silentLimit = 5;
  decl.reads = {Read{.reg = 0x1025, .count = 1, .field = "a"}, Read{.reg = 0x1064, .count = 2, .field = "b"}};
  Exchange ex(decl);
  std::int64_t now = 0;
  ex.setClock([&] { return now; });
  ex.setLink(&link);
  const auto tick = [&](int ms = 80) {
    now += ms;
    ex.tick();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  };
  // Ticks until the read of `reg` has been answered again (a lost read is sent again).
  const auto untilAnswered = [&](const QString& field) {
    QString shown;
    auto c = QObject::connect(&ex, &Exchange::fieldShown, [&](const Name& f, const QString& t) {
      if (f == field) shown = t;
    });
    for (int i = 0; i < 50 && shown.isEmpty(); ++i) tick();
    QObject::disconnect(c);
    return !shown.isEmpty();
  };

  port.model().writeRegister(0x1025, 7);
  tick();
  tick();
  tick();  // 1025, 1064, 1025 answered; the pair is next
  port.corruptNext(1);
  tick();                      // the reply of the pair comes with a wrong LRC: dropped
  tick(200);                   // its time-out
  ASSERT_TRUE(untilAnswered("b"));  // sent again (its answer is not in), answered
  port.dropNext(1);
  tick();        // the read of 1025 goes out, its reply is lost
  tick(200);     // its time-out
  port.inject(buildFrame("0103020007"));  // and its answer after all, late
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  ASSERT_TRUE(untilAnswered("a"));
  port.slave().refuseNext(1, 0x02);
  tick();  // refused
  tick();
  monitor->refresh();

  const int sent = static_cast<int>(port.sent().size());
  EXPECT_EQ(monitor->counter("requests"), QString::number(sent));
  EXPECT_EQ(monitor->counter("replies"), QString::number(sent - 2)) << "all but the two lost replies, the refusal too";
  EXPECT_EQ(monitor->counter("timeouts"), "2");
  EXPECT_EQ(monitor->counter("resends"), "1") << "the pair; the read of 1025 was answered, late, before it went again";
  EXPECT_EQ(monitor->counter("malformed"), "1");
  EXPECT_EQ(monitor->counter("late"), "1");
  EXPECT_TRUE(QRegularExpression("^\\d+ ms$").match(monitor->counter("replyTimeout")).hasMatch())
      << monitor->counter("replyTimeout").toStdString();
  EXPECT_EQ(monitor->counter("port"), "com1");

  // What the list says of each fault, and the trace file line for line the same.
  const QStringList lines = monitor->shownLines();
  EXPECT_EQ(lines.size(), static_cast<qsizetype>(Traffic::instance().history().size()));
  EXPECT_EQ(countContaining(lines, "丢弃：LRC校验错误"), 1);
  EXPECT_EQ(countContaining(lines, "\t迟到"), 1);
  EXPECT_EQ(countContaining(lines, "应答超时（"), 2);
  EXPECT_GE(countContaining(lines, "03 读回复 1025，1个：7\t已应答"), 2);
  EXPECT_EQ(countContaining(lines, "异常回复：02 非法数据地址\t被拒绝"), 1);
  EXPECT_EQ(traceLines(dir.filePath("trace.txt")), lines);

  // A saved list is the same lines again, under its header.
  ASSERT_TRUE(monitor->saveTo(dir.filePath("saved.txt")));
  EXPECT_EQ(traceLines(dir.filePath("saved.txt")), lines);
}

TEST_F(MonitorTest, ListKeepsTheLastFramesFiltersPausesAndClears) {
  Monitor* monitor = Monitor::open();
  const auto record = [](const QByteArray& body, Outcome outcome = Outcome::Sent) {
    TrafficEvent e;
    e.time = QDateTime::currentDateTime();
    e.sent = true;
    e.frame = buildFrame(body);
    e.request = body;
    e.outcome = outcome;
    Traffic::instance().record(e);
  };
  for (int i = 0; i < 10050; ++i) record(i % 2 ? readBody(0x1064, 2) : writeWordBody(0x10DE, hex4(static_cast<std::uint16_t>(i))));
  monitor->refresh();
  QStringList lines = monitor->shownLines();
  ASSERT_EQ(lines.size(), 10000);
  EXPECT_TRUE(lines.first().contains("10 写寄存器 10DE，1个：50\t")) << "the oldest 50 are gone";
  EXPECT_TRUE(lines.last().contains("03 读寄存器 1064，2个\t"));

  const struct {
    const char* filter;
    qsizetype shown;
  } filters[] = {{"10de", 5000}, {"1064", 5000}, {"1065", 5000}, {"1066", 0}, {"1025", 0}, {"", 10000}};
  for (const auto& f : filters) {
    monitor->setRegisterFilter(f.filter);
    EXPECT_EQ(monitor->shownLines().size(), f.shown) << f.filter;
  }
  monitor->setRegisterFilter("10DE");
  for (const QString& l : monitor->shownLines()) ASSERT_TRUE(l.contains("10DE")) << l.toStdString();
  monitor->setRegisterFilter("");

  monitor->setPaused(true);
  record(coilBody(0x0801, true));
  monitor->refresh();
  EXPECT_EQ(monitor->shownLines().last(), lines.last()) << "nothing new while paused";
  EXPECT_EQ(monitor->counter("requests"), "10051") << "the counters go on";
  monitor->setPaused(false);
  EXPECT_TRUE(monitor->shownLines().last().contains("05 写线圈 0801 ON"));

  monitor->clear();
  EXPECT_TRUE(monitor->shownLines().isEmpty());
  EXPECT_EQ(monitor->counter("requests"), "10051");
  record(coilBody(0x0801, false));
  monitor->refresh();
  EXPECT_EQ(monitor->shownLines().size(), 1);
}

TEST_F(MonitorTest, ClosedMonitorTakesNothingInAndShowsTheRecordWhenOpenedAgain) {
  Monitor* monitor = Monitor::open();
  monitor->close();
  TrafficEvent e;
  e.frame = buildFrame(readBody(0x1025, 1));
  e.sent = true;
  e.request = readBody(0x1025, 1);
  Traffic::instance().record(e);
  EXPECT_TRUE(monitor->shownLines().isEmpty());
  EXPECT_EQ(Monitor::open(), monitor);
  EXPECT_EQ(monitor->shownLines(), QStringList{trafficLine(e)});
}

TEST_F(MonitorTest, F12OnAnyScreenOpensTheOneMonitor) {
  test::ScreenEnv env;
  ui::Form* main = env.start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  ASSERT_EQ(Monitor::existing(), nullptr);
  QTest::keyClick(main, Qt::Key_F12);
  Monitor* monitor = Monitor::existing();
  ASSERT_NE(monitor, nullptr);
  EXPECT_TRUE(monitor->isVisible());
  EXPECT_FALSE(monitor->isModal());

  // From a communicating screen too, with the first still open: the same window comes forward.
  ui::Screen* screen = env.openTestPage("Xcmd");
  ASSERT_NE(screen, nullptr);
  screen->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
  QTest::keyClick(screen, Qt::Key_F12);
  EXPECT_EQ(Monitor::existing(), monitor);
  const QWidgetList windows = QApplication::topLevelWidgets();
  const auto monitors = std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<Monitor*>(w); });
  EXPECT_EQ(monitors, 1);
}

}  // namespace
