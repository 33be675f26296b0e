// The ports present and their numbers on Linux: links of the ports folder ($LORVANE_PORTS, a
// folder of the test's own), a by-id folder the test makes, and files standing in for devices.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>

#include "link/link.h"
#include "link/port_list.h"

using namespace lorvane;

namespace {

class FakeSource : public PortSource {
 public:
  QList<PortDescription> list;
  QStringList busyDevices;
  QList<PortDescription> ports() override { return list; }
  bool busy(const QString& device) override { return busyDevices.contains(device); }
};

class PortNumbers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("dev");
    QDir(root.path()).mkpath("by-id");
    QDir(root.path()).mkpath("ports");
    for (const char* d : {"ttyUSB0", "ttyUSB1", "ttyACM0", "pts7"}) {
      QFile f(dev(d));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    qputenv("LORVANE_PORTS", path("ports").toLocal8Bit());
    folders = PortFolders{};  // read now that $LORVANE_PORTS is set
    folders.byId = path("by-id");
    ASSERT_EQ(folders.ports, path("ports")) << "the ports folder comes from $LORVANE_PORTS";
    // The adapter on ttyUSB0 has a stable name; the user linked ttyUSB1 as port 3 by hand, and
    // port 1 names an adapter that is not plugged in.
    ASSERT_TRUE(QFile::link("../dev/ttyUSB0", byId("usb-FTDI_FT232R_A1B2C3-if00-port0")));
    ASSERT_TRUE(QFile::link(dev("ttyUSB1"), link(3)));
    ASSERT_TRUE(QFile::link("/dev/serial/by-id/usb-Prolific-gone-port0", link(1)));
    source.list = {{.device = dev("ttyUSB0"), .description = "FT232R USB UART", .manufacturer = "FTDI", .serialNumber = "A1B2C3"},
                   {.device = dev("ttyUSB1"), .description = "USB-SERIAL CH340", .manufacturer = "wch.cn"},
                   {.device = dev("ttyACM0")}};
  }
  void TearDown() override { qunsetenv("LORVANE_PORTS"); }

  QString path(const QString& p) const { return QDir(root.path()).filePath(p); }
  QString dev(const QString& d) const { return path("dev/" + d); }
  QString byId(const QString& n) const { return path("by-id/" + n); }
  QString link(int n) const { return path(QStringLiteral("ports/com%1").arg(n)); }
  static QString target(const QString& link) { return QFile::symLinkTarget(link); }
  QList<int> numbers() {
    QList<int> n;
    for (const PortEntry& e : listPorts(source, folders)) n << e.number;
    return n;
  }
  PortEntry entryOf(const QString& device) {
    for (const PortEntry& e : listPorts(source, folders))
      if (e.port.device == device) return e;
    return {};
  }

  QTemporaryDir root;
  PortFolders folders;
  FakeSource source;
};

TEST_F(PortNumbers, ListedWithTheirNumbersAndWhatTheSystemSaysOfThem) {
  source.list[1].busy = true;
  const QList<PortEntry> list = listPorts(source, folders);
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[0].text(), "3  " + dev("ttyUSB1") + "  USB-SERIAL CH340  wch.cn  （被占用）");
  EXPECT_EQ(list[1].text(), "-  " + dev("ttyACM0"));
  EXPECT_EQ(list[2].text(), "-  " + dev("ttyUSB0") + "  FT232R USB UART  FTDI  A1B2C3");
  EXPECT_EQ(list[2].byId, byId("usb-FTDI_FT232R_A1B2C3-if00-port0"));

  // A device that only a link names (a simulator's terminal) is listed under the link's number;
  // busy as the source says of the link's target.
  ASSERT_TRUE(QFile::link(dev("pts7"), link(5)));
  source.busyDevices = {dev("pts7")};
  const PortEntry sim = listPorts(source, folders).value(1);
  EXPECT_EQ(sim.number, 5);
  EXPECT_EQ(sim.port.device, dev("pts7"));
  EXPECT_TRUE(sim.port.busy);
}

TEST_F(PortNumbers, ANumberIsMadeWhenChosenAndHandMadeLinksStayAsTheyAre) {
  const QString handMade3 = target(link(3)), handMade1 = target(link(1));
  const QList<PortEntry> listed = listPorts(source, folders);

  // The adapter with a by-id name: the lowest number that names nothing, linked to that name.
  EXPECT_EQ(assignNumber(entryOf(dev("ttyUSB0")), listed, folders), 2);
  EXPECT_EQ(target(link(2)), byId("usb-FTDI_FT232R_A1B2C3-if00-port0"));
  // Without a by-id name: the device itself, and the next number.
  EXPECT_EQ(assignNumber(entryOf(dev("ttyACM0")), listPorts(source, folders), folders), 4);
  EXPECT_EQ(target(link(4)), dev("ttyACM0"));
  // A port with a number keeps it; nothing new is made.
  EXPECT_EQ(assignNumber(entryOf(dev("ttyUSB0")), listPorts(source, folders), folders), 2);
  EXPECT_EQ(assignNumber(entryOf(dev("ttyUSB1")), listPorts(source, folders), folders), 3);
  EXPECT_EQ(QDir(path("ports")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 4);

  EXPECT_EQ(target(link(3)), handMade3);
  EXPECT_EQ(target(link(1)), handMade1);
  EXPECT_EQ(numbers(), (QList<int>{2, 3, 4}));
  EXPECT_EQ(portDeviceName(2), link(2)) << "the program opens the number through the new link";

  // In another USB socket the adapter is another ttyUSB: its number follows it.
  ASSERT_TRUE(QFile::rename(dev("ttyUSB0"), dev("ttyUSB5")));
  ASSERT_TRUE(QFile::remove(byId("usb-FTDI_FT232R_A1B2C3-if00-port0")));
  ASSERT_TRUE(QFile::link("../dev/ttyUSB5", byId("usb-FTDI_FT232R_A1B2C3-if00-port0")));
  source.list[0].device = dev("ttyUSB5");
  EXPECT_EQ(entryOf(dev("ttyUSB5")).number, 2);
}

TEST_F(PortNumbers, NewNumbersPassOverTheSerialPortsOfTheComputer) {
  // /dev/ttySk is port k+1 unless a link takes that number: ttyS0 is 1, ttyS2 has none (the
  // user's com3 is another device).
  ASSERT_TRUE(QFile::remove(link(1)));
  ASSERT_TRUE(QFile::remove(link(3)));
  ASSERT_TRUE(QFile::link(dev("ttyACM0"), link(3)));
  source.list = {{.device = "/dev/ttyS0"}, {.device = "/dev/ttyS2"}, {.device = dev("ttyACM0")}, {.device = dev("ttyUSB1")}};
  EXPECT_EQ(numbers(), (QList<int>{1, 3, 0, 0}));
  // The adapter gets 2: 1 would hide ttyS0.
  EXPECT_EQ(assignNumber(entryOf(dev("ttyUSB1")), listPorts(source, folders), folders), 2);

  // A ports folder that cannot be made: no number, and why.
  folders.ports = path("dev/ttyUSB1/ports");
  QString error;
  source.list = {{.device = dev("ttyUSB0")}};
  EXPECT_EQ(assignNumber(entryOf(dev("ttyUSB0")), listPorts(source, folders), folders, &error), 0);
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace

namespace {

// Port 1's link names an adapter that is not plugged in: the number still names that adapter,
// and opening it fails; no other device (/dev/ttyS0) is taken in its place.
TEST_F(PortNumbers, ALinkToAnAdapterPulledOutStillNamesIt) {
  EXPECT_EQ(portDeviceName(1), link(1));
  QString error;
  EXPECT_EQ(openSerialPort(portDeviceName(1), &error), nullptr);
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
