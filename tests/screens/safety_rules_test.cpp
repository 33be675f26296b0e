// What must reach the controller goes ahead of everything else, held directly on the screens that
// have it: a jog's OFF at the release and a stop, each while a write clicked before it goes
// unanswered and is to be repeated because its replies are lost (an axis must not run on while
// the write repeats up to the silent-tick limit), and the OFF while a message box is open, when
// nothing else goes out.
#include <gtest/gtest.h>

#include <QApplication>
#include <functional>

#include "frames/encode.h"
#include "frames/frames.h"
#include "frames/registers.h"
#include "screen_env.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

bool isWrite(const QByteArray& body) { return body.startsWith("0110"); }

struct Case {
  const char* what;
  const char* form;
  // Brings the screen to where the write is clicked (values read, a jog held).
  std::function<void(ScreenEnv&)> prepare;
  const char* writeButton;
  // What must reach the controller: a jog released, a stop clicked.
  std::function<void(ScreenEnv&)> safety;
  QByteArray expected;
  std::function<bool(ScreenEnv&)> carriedOut;  // the controller did it, once the line is sound again
};

bool teachValuesRead(ScreenEnv& env) {
  const Exchange& ex = env.currentScreen()->exchange();
  for (const char* f : {"SUtxt", "SU1txt", "SU2txt", "SU3txt", "DUtxt", "DU1txt", "DU2txt", "DU3txt"})
    if (!ex.lastRead(f)) return false;
  return true;
}

const Case kCases[] = {
    {"the teach page's jog OFF, behind its download", "Mainfrm16",
     [](ScreenEnv& env) {
       ASSERT_TRUE(env.tickUntil([&] { return teachValuesRead(env); }));
       env.type("SUtxt", "300");
     },
     // A click releases a held button (its focus goes): the jog is pressed once the download is on
     // its way, its ON waiting behind it.
     "XZ1cmd",
     [](ScreenEnv& env) {
       env.press("ZHcmd");
       env.ticks(1);
       env.release("ZHcmd");
     },
     coilBody(coil::TeachForward[0], false),
     [](ScreenEnv& env) { return !env.model.coil(coil::TeachForward[0]) && !env.model.axisMoving(reg::X); }},
    {"the system control stop, behind the production count", "Mainfrm2",
     [](ScreenEnv& env) {
       ASSERT_TRUE(env.tickUntil([&] { return env.currentScreen()->exchange().lastRead("Dltxt").has_value(); }, 60));
       env.type("Dltxt", "17");
     },
     "lc1cmd", [](ScreenEnv& env) { env.click("Tzcmd"); }, coilBody(coil::Stop, true),
     [](ScreenEnv& env) { return !env.isRed("Tzcmd"); }},
};

TEST(SafetyRules, WhatMustReachTheControllerGoesAheadOfAWriteRepeatingUnanswered) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ScreenEnv env;
    env.model.writeRegister(reg::CurrentStep, 3);
    env.openDirect(c.form);
    ASSERT_NO_FATAL_FAILURE(c.prepare(env));
    env.port()->dropNext(1000000);  // every reply from now on is lost
    env.takeSent();
    env.click(c.writeButton);
    QList<QByteArray> sent;
    ASSERT_TRUE(env.tickUntil([&] {
      sent << env.takeSent();
      return !sent.isEmpty();
    }, 10));
    ASSERT_TRUE(isWrite(sent.first())) << sent.first().constData();
    // Unanswered, the write goes out again at the next free tick, until the silent-tick limit;
    // it is still owed when the operator lets go of the jog or clicks the stop.
    c.safety(env);
    sent.clear();
    ASSERT_TRUE(env.tickUntil([&] {
      sent << env.takeSent();
      return !sent.isEmpty();
    }, 20));
    EXPECT_EQ(sent.first(), c.expected) << "the next request on the line";
    // The line comes back: it is carried out.
    env.port()->dropNext(0);
    EXPECT_TRUE(env.tickUntil([&] { return c.carriedOut(env); }, 40));
  }
}

// While a message box is open nothing goes out but OFFs and stops: a jog let go as the operator
// clicks a download that is refused has its OFF sent while the refusal is on the screen, and not
// one read; reading resumes once the box is closed.
TEST(SafetyRules, WhileAMessageBoxIsOpenOnlyTheOffGoesOut) {
  ScreenEnv env;
  env.model.writeRegister(reg::CurrentStep, 3);
  env.openDirect("Mainfrm16");
  ASSERT_TRUE(env.tickUntil([&] { return teachValuesRead(env); }));
  env.type("SUtxt", "abc");
  env.press("ZHcmd");
  ASSERT_TRUE(env.tickUntil([&] { return env.model.coil(coil::TeachForward[0]); }, 20));
  env.ticks(1);
  env.takeSent();
  QList<QByteArray> duringBox;
  bool offInDuringBox = false;
  env.whileBoxOpen = [&](const QString&) {
    for (int t = 0; t < 10; ++t) {
      env.ticks(1);
      duringBox << env.takeSent();
    }
    offInDuringBox = !env.model.coil(coil::TeachForward[0]);
  };
  env.click("XZ1cmd");  // the click takes the focus: the jog is let go; the download is refused
  ASSERT_TRUE(env.until([&] { return !env.boxes.isEmpty() && !env.whileBoxOpen; }));
  EXPECT_EQ(env.boxes, QStringList{msg::notANumber()});
  ASSERT_FALSE(duringBox.isEmpty());
  for (const QByteArray& b : duringBox) EXPECT_EQ(b, coilBody(coil::TeachForward[0], false));
  EXPECT_TRUE(offInDuringBox);
  ASSERT_TRUE(env.until([&] { return !qApp->activeModalWidget(); }));
  env.ticks(3);
  const QList<QByteArray> after = env.takeSent();
  ASSERT_FALSE(after.isEmpty());
  EXPECT_TRUE(after.first().startsWith("0103")) << "reading resumes: " << after.first().constData();
}

}  // namespace
