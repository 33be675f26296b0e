// The simulated controller on the line: what it answers, what it leaves unanswered, and that a
// frame it does not answer changes nothing.
#include <gtest/gtest.h>

#include "frames/frames.h"
#include "sim/model.h"
#include "sim/slave.h"

namespace lorvane::sim {
namespace {

struct Exchange {
  const char* what;
  QByteArray request;  // a whole frame
  QByteArray reply;    // a whole frame, or empty for silence
};

// A frame with the right LRC for a body given as text.
QByteArray frame(const char* body) { return buildFrame(QByteArray(body)); }

const Exchange kExchanges[] = {
    // The reply of the production-count read is the worked example of the frame rules.
    Exchange{"read one register", ":010310DE00010D\r\n", ":010302006496\r\n"},
    Exchange{"read a position pair, low word first", frame("010310640002"), frame("010304FF6AFFFF")},
    Exchange{"read two plain registers (X pulses per turn, lead)", frame("010310060002"), frame("01030406401388")},
    Exchange{"write one register echoes address and count", ":011010DE00010200649A\r\n", frame("011010DE0001")},
    Exchange{"write a register pair", frame("011010F0000204FF6AFFFF"), frame("011010F00002")},
    Exchange{"coil on echoes the request", frame("01050838FF00"), frame("01050838FF00")},
    Exchange{"coil off echoes the request", frame("010508340000"), frame("010508340000")},
    Exchange{"lower-case hex is understood, the reply is upper case", ":010310de00010d\r\n", ":010302006496\r\n"},
    Exchange{"coil value other than FF00/0000", frame("010508381234"), frame("018503")},
    Exchange{"wrong LRC: silence", ":010310DE00010E\r\n", ""},
    Exchange{"another slave address: silence", frame("020310DE0001"), ""},
    Exchange{"broadcast address: silence", frame("00050832FF00"), ""},
    Exchange{"odd number of hex digits: silence", ":010310DE0001D\r\n", ""},
    Exchange{"no CR LF: silence", ":010310DE00010D", ""},
    Exchange{"not hex: silence", ":01031GDE00010D\r\n", ""},
    Exchange{"unknown function", frame("010610DE0064"), frame("018601")},
    Exchange{"read function 01 (coils) is not offered", frame("010108010001"), frame("018101")},
    Exchange{"read below the map", frame("010310000001"), frame("018302")},
    Exchange{"read above the map", frame("010311000001"), frame("018302")},
    Exchange{"read running past the end of the map", frame("010310FF0002"), frame("018302")},
    Exchange{"read of zero registers", frame("010310DE0000"), frame("018303")},
    Exchange{"write outside the map", frame("011010000001020001"), frame("019002")},
    Exchange{"write whose byte count does not match", frame("011010DE0001040001"), frame("019003")},
    Exchange{"coil outside the map", frame("0105087CFF00"), frame("018502")},
    Exchange{"project number the controller does not have", frame("01101025000102000B"), frame("019003")},
    Exchange{"step number the controller does not have", frame("011010270001020033"), frame("019003")},
};

TEST(Slave, AnswersAsAControllerAtAddress01) {
  for (const Exchange& e : kExchanges) {
    SCOPED_TRACE(e.what);
    ControllerModel model;
    ASSERT_EQ(model.writeRegister(reg::ProductionCount, 100), ControllerModel::Result::Ok);
    model.setPosition(reg::X, -150);
    Slave slave(model);
    EXPECT_EQ(slave.handle(e.request), e.reply);
  }
}

TEST(Slave, WritesLandInTheModelAndReadBack) {
  ControllerModel model;
  Slave slave(model);
  ASSERT_FALSE(slave.handle(frame("011010F0000204FF6AFFFF")).isEmpty());
  EXPECT_EQ(model.regLong(reg::ArcCentreX), -150);
  EXPECT_EQ(slave.handle(frame("010310F00002")), frame("010304FF6AFFFF"));
  ASSERT_FALSE(slave.handle(frame("01050838FF00")).isEmpty());
  EXPECT_TRUE(model.coil(coil::OutputTest));
  EXPECT_EQ(model.writeCount(reg::ArcCentreX), 1);
  EXPECT_EQ(model.writeCount(reg::ArcCentreX + 1), 1);
  EXPECT_EQ(model.coilWrites().last(), (CoilWrite{coil::OutputTest, true}));
}

TEST(Slave, FramesLeftUnansweredOrRefusedChangeNothing) {
  ControllerModel model;
  Slave slave(model);
  const QByteArray good = frame("011010DE0001020064");
  QByteArray badLrc = good;
  badLrc[badLrc.size() - 3] = badLrc[badLrc.size() - 3] == '0' ? '1' : '0';
  EXPECT_TRUE(slave.handle(badLrc).isEmpty());
  EXPECT_TRUE(slave.handle(frame("021010DE0001020064")).isEmpty());
  EXPECT_EQ(slave.handle(frame("01101025000102000B")), frame("019003"));
  EXPECT_EQ(model.reg(reg::ProductionCount), 0);
  EXPECT_EQ(model.writeCount(reg::ProductionCount), 0);
  EXPECT_EQ(model.currentProject(), 1);
  EXPECT_EQ(slave.ignored(), 2);
}

TEST(Slave, RefusesOnRequestWithoutActing) {
  ControllerModel model;
  Slave slave(model);
  slave.refuseNext(1, kDeviceFailure);
  EXPECT_EQ(slave.handle(frame("011010DE0001020064")), frame("019004"));
  EXPECT_EQ(model.reg(reg::ProductionCount), 0);
  EXPECT_EQ(slave.handle(frame("011010DE0001020064")), frame("011010DE0001"));
  EXPECT_EQ(model.reg(reg::ProductionCount), 100);
}

}  // namespace
}  // namespace lorvane::sim
