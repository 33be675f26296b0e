// The search for the controller over real serial ports: lorvane-sim on one pseudo-terminal, a
// silent lorvane-sim on another, and a pseudo-terminal with nothing behind it, each linked in a
// ports folder of the test's own.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "frames/frames.h"
#include "link/link.h"
#include "open_here.h"
#include "link/port_list.h"
#include "link/probe.h"
#include "frames/registers.h"
#include "frames/request.h"

using namespace lorvane;
using lorvane::test::openHere;
using Outcome = ControllerProbe::Outcome;

namespace {

bool until(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred() && t.elapsed() < ms) QTest::qWait(5);
  return pred();
}

// Request bodies in a simulator's log ("<- :0103105800019B\r\n").
QList<QByteArray> received(const QString& logFile) {
  QFile f(logFile);
  QList<QByteArray> bodies;
  if (!f.open(QIODevice::ReadOnly)) return bodies;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const qsizetype at = line.indexOf("<- :");
    if (at >= 0) bodies << line.mid(at + 4).replace("\\r\\n", "").chopped(2);
  }
  return bodies;
}

// Only the probe's two reads, each of one register of slave 01.
void expectOnlyReads(const QList<QByteArray>& bodies, const char* where) {
  for (const QByteArray& b : bodies) {
    const Request r = Request::fromBody(b);
    EXPECT_TRUE(b.startsWith("0103") && r.count == 1 &&
                (r.address == reg::RunStatus || r.address == reg::CurrentProject))
        << where << ": " << b.constData();
  }
}

class FindController : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ports.isValid());
    qputenv("LORVANE_PORTS", ports.path().toLocal8Bit());
    startSim(answering, 1, {"--log", logOf(1)});
    startSim(silent, 2, {"--silent", "--log", logOf(2)});
    // Nothing behind port 3: a pseudo-terminal whose other side only this test holds.
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    nothing = QString::fromLocal8Bit(::ptsname(master));
    ASSERT_TRUE(QFile::link(nothing, QDir(ports.path()).filePath("com3")));
    for (int n : {1, 2, 3}) pts[n] = QFileInfo(portDeviceName(n)).canonicalFilePath();
  }
  void TearDown() override {
    for (QProcess* p : {&answering, &silent}) {
      p->terminate();
      p->waitForFinished(3000);
    }
    if (master >= 0) ::close(master);
    qunsetenv("LORVANE_PORTS");
  }

  QString logOf(int n) { return QDir(ports.path()).filePath(QStringLiteral("sim%1.log").arg(n)); }
  void startSim(QProcess& p, int n, const QStringList& args) {
    p.start(LORVANE_SIM_PATH, QStringList{"--port", QString::number(n), "--latency-ms", "5", "--empty"} + args);
    ASSERT_TRUE(p.waitForStarted(5000));
    const QString link = QDir(ports.path()).filePath(QStringLiteral("com%1").arg(n));
    ASSERT_TRUE(until([&] { return QFileInfo(link).isSymLink(); }, 5000)) << "no link com" << n;
  }
  // What the probe wrote to the port with nothing behind it.
  QList<QByteArray> writtenToNothing() {
    QByteArray bytes;
    char buf[256];
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) bytes.append(buf, n);
    QList<QByteArray> bodies;
    FrameAssembler frames;
    for (const QByteArray& f : frames.feed(bytes)) bodies << f.mid(1, f.size() - 5);
    return bodies;
  }
  int openOfOurs() { return openHere(pts[1]) + openHere(pts[2]) + openHere(pts[3]); }

  QTemporaryDir ports;
  QProcess answering, silent;
  int master = -1;
  QString nothing;
  QString pts[4];
};

TEST_F(FindController, AsksEachPortWithReadsOnlyClosesTheSilentOnesAndFindsTheController) {
  // The controller last, so that every port is asked.
  ControllerProbe probe({portDeviceName(2), portDeviceName(3), portDeviceName(1)});
  QList<int> asked;
  QList<int> openBefore;  // ports of the probe still open when the next one is asked
  QObject::connect(&probe, &ControllerProbe::asking, [&](int i) {
    asked << i;
    openBefore << openOfOurs();
  });
  bool finished = false;
  QObject::connect(&probe, &ControllerProbe::finished, [&] { finished = true; });
  QElapsedTimer took;
  took.start();
  probe.start();
  ASSERT_TRUE(until([&] { return finished; }, 5000));
  const qint64 ms = took.elapsed();
  std::printf("probe of three ports: %lld ms\n", static_cast<long long>(ms));
  EXPECT_LT(ms, 2000) << "three ports within 2 s";

  EXPECT_EQ(probe.result().found, 2);
  EXPECT_EQ(probe.result().outcomes, (QList<Outcome>{Outcome::Silent, Outcome::Silent, Outcome::Answered}));
  EXPECT_EQ(asked, (QList<int>{0, 1, 2}));
  EXPECT_EQ(openBefore, (QList<int>{0, 0, 0})) << "a silent port is closed before the next is opened";
  EXPECT_EQ(openOfOurs(), 0);
  EXPECT_FALSE(probe.portOpen());

  // The silent ports were asked each read twice (one repeat), the controller each once; reads only.
  const QList<QByteArray> toNothing = writtenToNothing();
  EXPECT_EQ(toNothing, (QList<QByteArray>{"010310580001", "010310580001"}));
  ASSERT_TRUE(until([&] { return received(logOf(2)).size() == 2 && received(logOf(1)).size() == 2; }, 2000));
  EXPECT_EQ(received(logOf(2)), toNothing);
  EXPECT_EQ(received(logOf(1)), (QList<QByteArray>{"010310580001", "010310250001"}));
  expectOnlyReads(received(logOf(1)), "controller");
  expectOnlyReads(received(logOf(2)), "silent controller");
}

TEST_F(FindController, StopsAtTheFirstControllerAndTellsWhenNoneAnswers) {
  ControllerProbe first({portDeviceName(1), portDeviceName(2)});
  first.start();
  ASSERT_TRUE(until([&] { return !first.isRunning(); }, 3000));
  EXPECT_EQ(first.result().found, 0);
  EXPECT_EQ(first.result().outcomes, (QList<Outcome>{Outcome::Answered, Outcome::NotAsked}));
  EXPECT_TRUE(received(logOf(2)).isEmpty()) << "the port after the controller is not asked";

  // No controller among them, and a port that names no device.
  ControllerProbe none({portDeviceName(3), QDir(ports.path()).filePath("com9")});
  none.start();
  ASSERT_TRUE(until([&] { return !none.isRunning(); }, 3000));
  EXPECT_EQ(none.result().found, -1);
  EXPECT_EQ(none.result().outcomes, (QList<Outcome>{Outcome::Silent, Outcome::CannotOpen}));
  EXPECT_EQ(openOfOurs(), 0);
}

TEST_F(FindController, CancelledHalfWayLeavesNoPortOpen) {
  ControllerProbe probe({portDeviceName(2), portDeviceName(3), portDeviceName(1)});
  int finished = 0;
  QObject::connect(&probe, &ControllerProbe::finished, [&] { ++finished; });
  probe.start();
  // Cancelled while the second port is being asked, between its read and the repeat.
  ASSERT_TRUE(until([&] { return openHere(pts[3]) > 0; }, 3000));
  QTest::qWait(100);
  ASSERT_TRUE(probe.portOpen());
  probe.cancel();
  EXPECT_FALSE(probe.portOpen());
  EXPECT_EQ(openOfOurs(), 0) << "closed before cancel() returns";
  EXPECT_FALSE(probe.isRunning());
  EXPECT_TRUE(probe.result().cancelled);
  EXPECT_EQ(probe.result().found, -1);
  QTest::qWait(800);  // nothing goes on afterwards: no further port opened, the controller not asked
  EXPECT_EQ(openOfOurs(), 0);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(received(logOf(1)).isEmpty());
}

TEST_F(FindController, APortAnotherProgramHoldsIsBusyByItsLockFile) {
  SystemPortSource system;
  EXPECT_FALSE(system.busy(pts[3]));
  // A serial port opened with Qt leaves the lock file the list reads (the holder here is this
  // program itself, which does not count as another).
  QString lock;
  {
    std::unique_ptr<QSerialPort> held = openSerialPort(pts[3]);
    ASSERT_TRUE(held);
    QString name = pts[3].mid(5).replace('/', '_');
    for (const char* folder : {"/var/lock", "/run/lock", "/tmp"})
      if (QFileInfo::exists(QStringLiteral("%1/LCK..%2").arg(folder, name))) lock = QStringLiteral("%1/LCK..%2").arg(folder, name);
    ASSERT_FALSE(lock.isEmpty()) << "no lock file for " << name.toStdString();
    EXPECT_FALSE(system.busy(pts[3]));
  }
  EXPECT_FALSE(QFileInfo::exists(lock));
  // The same lock of another running program; then of one that has ended.
  auto writeLock = [&](qint64 pid) {
    QFile f(lock);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::number(pid) + "\nminicom\nrig\n");
  };
  writeLock(silent.processId());
  EXPECT_TRUE(system.busy(pts[3]));
  writeLock(999999999);
  EXPECT_FALSE(system.busy(pts[3]));
  QFile::remove(lock);
}

TEST(FindControllerAnswers, OnlyAPlausibleAnswerCounts) {
  struct Case { std::uint16_t reg; int value; bool plausible; };
  const Case cases[] = {{reg::RunStatus, 0, true},        {reg::RunStatus, 50, true},
                        {reg::RunStatus, 51, false},      {reg::CurrentProject, 10, true},
                        {reg::CurrentProject, 11, false}, {reg::ProductionCount, 0, false}};
  for (const Case& c : cases)
    EXPECT_EQ(ControllerProbe::plausible(Request::read(c.reg), c.value), c.plausible) << std::hex << c.reg << " " << c.value;
}

}  // namespace
