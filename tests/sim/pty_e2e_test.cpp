// lorvane-sim as the program meets it: a process with a pseudo-terminal behind a comN link,
// answering a real QSerialPort at 9600 baud, surviving the port being closed and reopened,
// taking commands on standard input and removing its link when told to end.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "frames/frames.h"
#include "frames/registers.h"

namespace {

using lorvane::buildFrame;
using lorvane::readBody;

class LorvaneSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ports.isValid());
    link = QDir(ports.path()).filePath("com7");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LORVANE_PORTS", ports.path());
    sim.setProcessEnvironment(env);
    sim.start(LORVANE_SIM_PATH, QStringList{"--port", "7", "--latency-ms", "2", "--empty"} + extraArgs());
    ASSERT_TRUE(sim.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (!QFileInfo(link).isSymLink() && t.elapsed() < 5000) QTest::qWait(10);
    ASSERT_TRUE(QFileInfo(link).isSymLink()) << "no link after 5 s";
  }
  void TearDown() override {
    if (sim.state() != QProcess::NotRunning) {
      sim.kill();
      sim.waitForFinished(2000);
    }
  }

  // Further command-line options of the simulator under test.
  virtual QStringList extraArgs() const { return {}; }

  bool open(QSerialPort& port) {
    port.setPortName(QFileInfo(link).symLinkTarget());
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    return port.open(QIODevice::ReadWrite);
  }

  // Sends a frame and collects what comes back until CR LF or the time runs out.
  static QByteArray ask(QSerialPort& port, const QByteArray& frame, int waitMs = 1000) {
    port.readAll();
    port.write(frame);
    return collect(port, waitMs);
  }
  // What comes in until CR LF or the time runs out.
  static QByteArray collect(QSerialPort& port, int waitMs) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (!got.endsWith("\r\n") && t.elapsed() < waitMs) {
      if (port.waitForReadyRead(20)) got += port.readAll();
    }
    return got;
  }

  QTemporaryDir ports;
  QString link;
  QProcess sim;
};

TEST_F(LorvaneSim, AnswersOverThePtyAndSurvivesReopening) {
  const QByteArray read = buildFrame(readBody(lorvane::reg::CurrentProject, 1));
  {
    QSerialPort port;
    ASSERT_TRUE(open(port)) << port.errorString().toStdString();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ask(port, read), QByteArray(":0103020001F9\r\n"));
    // 15 characters each way at 9600 baud cannot take less than about 31 ms.
    EXPECT_GE(t.elapsed(), 25);
    EXPECT_EQ(ask(port, buildFrame("011010DE0001020064")), buildFrame("011010DE0001"));
  }
  QSerialPort again;
  ASSERT_TRUE(open(again)) << again.errorString().toStdString();
  EXPECT_EQ(ask(again, buildFrame(readBody(lorvane::reg::ProductionCount, 1))), QByteArray(":010302006496\r\n"));
  EXPECT_EQ(ask(again, ":010310DE00010E\r\n", 300), QByteArray()) << "a bad LRC gets no answer";
}

TEST_F(LorvaneSim, TakesFaultCommandsOnStandardInputAndCleansUpOnTerminate) {
  QSerialPort port;
  ASSERT_TRUE(open(port)) << port.errorString().toStdString();
  const QByteArray read = buildFrame(readBody(lorvane::reg::CurrentProject, 1));
  ASSERT_EQ(ask(port, read), QByteArray(":0103020001F9\r\n"));
  sim.write("drop 1\n");
  QTest::qWait(100);
  EXPECT_EQ(ask(port, read, 300), QByteArray());
  EXPECT_EQ(ask(port, read), QByteArray(":0103020001F9\r\n"));
  sim.closeWriteChannel();  // end of standard input: it keeps running
  QTest::qWait(100);
  EXPECT_EQ(ask(port, read), QByteArray(":0103020001F9\r\n"));
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(3000));
  EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.exitCode(), 0);
  EXPECT_FALSE(QFileInfo(link).isSymLink()) << "link left behind";
}

TEST_F(LorvaneSim, UnplugTakesTheLineAwayAndPlugBringsItBack) {
  QSerialPort port;
  ASSERT_TRUE(open(port)) << port.errorString().toStdString();
  bool failed = false;
  QObject::connect(&port, &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
    if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError) {
      failed = true;
      port.close();  // as the program does: a port left open on a dead line keeps failing
    }
  });
  sim.write("unplug\n");
  QElapsedTimer t;
  t.start();
  while (!failed && t.elapsed() < 2000) QTest::qWait(10);
  EXPECT_TRUE(failed) << "the open port never noticed";
  EXPECT_FALSE(QFileInfo(link).isSymLink());

  sim.write("plug\n");
  t.restart();
  while (!QFileInfo(link).isSymLink() && t.elapsed() < 2000) QTest::qWait(10);
  QSerialPort again;
  ASSERT_TRUE(open(again)) << again.errorString().toStdString();
  EXPECT_EQ(ask(again, buildFrame(readBody(lorvane::reg::CurrentProject, 1))), QByteArray(":0103020001F9\r\n"));
}

// A faulty responder from the start: every reply comes a second time.
class LorvaneSimRepeating : public LorvaneSim {
 protected:
  QStringList extraArgs() const override { return {"--repeat-ms", "80"}; }
};

TEST_F(LorvaneSimRepeating, SendsEveryReplyTwiceTheRepeatApart) {
  QSerialPort port;
  ASSERT_TRUE(open(port)) << port.errorString().toStdString();
  const QByteArray reply(":0103020001F9\r\n");
  ASSERT_EQ(ask(port, buildFrame(readBody(lorvane::reg::CurrentProject, 1))), reply);
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(collect(port, 1000), reply);
  // The copy starts 80 ms after the first reply started, 64 ms after that one ended.
  EXPECT_GE(t.elapsed(), 50);
  EXPECT_EQ(collect(port, 300), QByteArray()) << "twice, not three times";
}

}  // namespace
