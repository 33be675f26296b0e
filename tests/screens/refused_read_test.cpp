// Refusals (exception replies). A read the controller refuses shows nothing new: the field keeps
// what it showed, never the refusal's digits nor a value of 0, and a value never read stays unread,
// so a write that needs it is still refused. Held on screens whose writes depend on a value read:
// the teach page's download, the project screen's save and the production count. A write refused
// in the middle of a download ends it there: nothing after it is sent, its button stays red, and
// reading resumes.
#include <gtest/gtest.h>

#include "frames/encode.h"
#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"
#include "sim/slave.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;
using lorvane::test::SimPort;

namespace {

struct Case {
  const char* form;
  const char* field;        // where the read is shown
  QStringList also;         // further controls showing the same value
  std::uint16_t reg;
  int count;
  const char* button;       // a write that needs the value
  QString unreadMessage;    // what the operator is told while it is unread
  std::uint16_t first, second;  // the value read, then the one its refused reads would bring
};

QList<Case> cases() {
  return {
      {"Mainfrm16", "SUtxt", {}, reg::TeachSpeed[0], 1, "XZ1cmd", msg::unknown(), 123, 456},
      {"Mainfrm16", "DU2txt", {}, reg::TeachPulses[2], 2, "XZ1cmd", msg::unknown(), 7000, 9000},
      {"Mainfrm12", "PRtxt", {"PR1txt", "PR2txt"}, reg::CurrentProject, 1, "Command1",
       QStringLiteral("工程号尚未读取，请稍后再试"), 4, 7},
      {"Mainfrm2", "Dltxt", {}, reg::ProductionCount, 1, "lc1cmd", msg::unknown(), 250, 900},
  };
}

// Refuses every read of one register while `on` is set, with the controller's exception reply.
struct Refusal {
  bool on = true;
  int refused = 0;
  QByteArray body;
  void attach(SimPort& port) {
    QObject::connect(&port, &SimPort::requestSeen, &port, [this, p = &port](const QByteArray& frame) {
      if (!on || frame.mid(1, frame.size() - 5) != body) return;
      p->slave().refuseNext(1, sim::kDeviceFailure);
      ++refused;
    });
  }
};

void writeValue(ScreenEnv& env, const Case& c, std::uint16_t v) {
  if (c.count == 2) env.model.writeRegisters(c.reg, {v, 0});
  else env.model.writeRegister(c.reg, v);
}

// One case; its fatal failures end only that case.
void refusedRead(const Case& c) {
  Refusal refusal{.body = readBody(c.reg, c.count)};  // outlives the screens and their port
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentStep, 3);
  env.onOpen = [&](SimPort& p) { refusal.attach(p); };
  writeValue(env, c, c.first);
  env.openDirect(c.form);
  const Exchange& ex = env.currentScreen()->exchange();
  QStringList controls = c.also;
  controls.prepend(c.field);
  QStringList atLoad;
  for (const QString& n : controls) atLoad << env.shown(n);

  // Refused from the load on: never read.
  ASSERT_TRUE(env.tickUntil([&] { return refusal.refused >= 3; }, 300));
  for (qsizetype i = 0; i < controls.size(); ++i) EXPECT_EQ(env.shown(controls[i]), atLoad[i]) << controls[i].toStdString();
  EXPECT_FALSE(ex.lastRead(c.field).has_value());
  env.takeSent();
  env.click(c.button);
  EXPECT_EQ(env.boxes.join('|').toStdString(), c.unreadMessage.toStdString()) << "a write that needs the value is refused";
  env.ticks(5);
  EXPECT_TRUE(env.takeWrites().isEmpty());

  // Read once, then refused: the field keeps the value read.
  refusal.on = false;
  const QString shown = QString::number(c.first);
  ASSERT_TRUE(env.tickUntil([&] { return env.shown(c.field) == shown; }, 300));
  writeValue(env, c, c.second);
  refusal.on = true;
  const int before = refusal.refused;
  ASSERT_TRUE(env.tickUntil([&] { return refusal.refused >= before + 3; }, 300));
  for (const QString& n : controls) EXPECT_EQ(env.shown(n), shown) << n.toStdString();
  EXPECT_EQ(ex.lastRead(c.field), std::optional<std::int64_t>(c.first));
}

TEST(RefusedRead, ShowsNothingNewAndDoesNotCountAsRead) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(std::string(c.form) + " " + c.field);
    refusedRead(c);
  }
}

TEST(RefusedWrite, EndsTheDownloadThereLeavesItsButtonRedAndReadingResumes) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentStep, 3);
  const QByteArray refusedWrite = writeWordBody(reg::TeachSpeed[2], "0003");
  int refused = 0;
  env.onOpen = [&](SimPort& p) {
    QObject::connect(&p, &SimPort::requestSeen, &p, [&, port = &p](const QByteArray& frame) {
      if (frame.mid(1, frame.size() - 5) != refusedWrite) return;
      port->slave().refuseNext(1, sim::kDeviceFailure);
      ++refused;
    });
  };
  env.openDirect("Mainfrm16");
  ASSERT_TRUE(env.tickUntil([&] {
    const Exchange& ex = env.currentScreen()->exchange();
    return ex.lastRead("SUtxt") && ex.lastRead("DU3txt");
  }));
  const char* speeds[] = {"SUtxt", "SU1txt", "SU2txt", "SU3txt"};
  for (int i = 0; i < 4; ++i) env.type(speeds[i], QString::number(i + 1));
  env.takeSent();
  env.click("XZ1cmd");
  ASSERT_TRUE(env.tickUntil([&] { return refused > 0; }, 40));
  env.ticks(20);
  QList<QByteArray> writes;
  bool readAfter = false;
  for (const QByteArray& b : env.takeSent()) {
    if (b.startsWith("0103")) readAfter = !writes.isEmpty();
    else writes << b;
  }
  EXPECT_EQ(writes, (QList<QByteArray>{writeWordBody(reg::TeachSpeed[0], "0001"), writeWordBody(reg::TeachSpeed[1], "0002"),
                                       refusedWrite}))
      << "nothing after the refused write";
  EXPECT_EQ(refused, 1) << "a refused write is not repeated";
  EXPECT_TRUE(env.isRed("XZ1cmd"));
  EXPECT_TRUE(readAfter);
  EXPECT_EQ(env.model.stepRegister(1, 3, reg::TeachSpeed[1]), 2);
  EXPECT_EQ(env.model.stepRegister(1, 3, reg::TeachSpeed[2]), 0);
  EXPECT_EQ(env.shown("SU2txt"), "0") << "read back as the controller holds it, not the refusal's digits";
}

}  // namespace
