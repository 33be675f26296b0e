#pragma once
// The serial ports present on this computer, each with the port number the operator types and
// what the system says of it. Listing never sends anything to a port and never opens one on
// Linux (busy is read from the lock files serial programs leave).
//
// On Linux a number is a link comN in the ports folder (see portDeviceName), or for /dev/ttySk
// without such a link the number k+1. A device with no number yet gets the next free one when the
// operator chooses it: a new link, to its /dev/serial/by-id path where it has one, so that the
// number follows the adapter whichever USB socket it is in. Links already there are never
// changed.
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

#include "link/link.h"

namespace lorvane {

// A port as the system describes it.
struct PortDescription {
  QString device = {};  // /dev/ttyUSB0, COM3
  QString description = {};
  QString manufacturer = {};
  QString serialNumber = {};
  bool busy = false;  // another program holds it
  bool operator==(const PortDescription&) const = default;
};

// Where the ports come from: the system (QSerialPortInfo) in the program, a list of the test's
// own in tests.
class PortSource {
 public:
  virtual ~PortSource() = default;
  virtual QList<PortDescription> ports() = 0;
  // Whether another program holds a device the system does not list (a link's target).
  virtual bool busy(const QString& device) = 0;
};

// QSerialPortInfo's ports. Busy: on Linux a lock file (LCK..name) of a running process other than
// this one; on Windows the port cannot be opened for a moment.
class SystemPortSource : public PortSource {
 public:
  QList<PortDescription> ports() override;
  bool busy(const QString& device) override;

 private:
#ifdef Q_OS_WIN
  QHash<QString, std::pair<bool, qint64>> busySeen_;  // busy, and when it was tried
#endif
};

// The source the main screen lists from: the system's unless another has been put in place.
PortSource& portSource();
void setPortSource(std::shared_ptr<PortSource> source);  // null: the system's again

// The folders the numbers live in on Linux.
struct PortFolders {
  QString ports = portsFolder();
  QString byId = QStringLiteral("/dev/serial/by-id");
};

struct PortEntry {
  int number = 0;  // 0: none yet
  PortDescription port = {};
  QString byId = {};  // the device's stable /dev/serial/by-id path, where it has one
  // "3  /dev/ttyUSB0  USB-SERIAL CH340  wch.cn" (Windows: "COM3  USB-SERIAL CH340"), busy marked.
  QString text() const;
  bool operator==(const PortEntry&) const = default;
};

// The ports present with their numbers: the source's, and the devices that links in the ports
// folder name but the system does not list (a simulator's pseudo-terminal). Numbered first, by
// number.
QList<PortEntry> listPorts(PortSource& source, const PortFolders& folders = {});

// The number of a listed port, made now if it has none (Linux): the lowest number that names
// nothing yet (no comN in the ports folder, no listed /dev/ttyS port), linked to the device's
// by-id path or else the device. 0 and a reason when the link cannot be made.
int assignNumber(const PortEntry& entry, const QList<PortEntry>& listed, const PortFolders& folders = {},
                 QString* error = nullptr);

}  // namespace lorvane
