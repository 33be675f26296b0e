#pragma once
// The little the program keeps between screens: the port number the operator opened and the
// device it names, whether the main screen should reopen it by itself, which step page chain was
// entered, and what is known of the line on each port.
#include <QHash>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

namespace lorvane {
struct PortState;
}

namespace lorvane::ui {

// Opens port N; null and a reason when it cannot. Tests put an in-process line here.
using PortOpener = std::function<std::unique_ptr<QIODevice>(int portNumber, QString* error)>;

struct Session {
  int portNumber = 0;
  // The device "确定" found for portNumber. Every screen opens this one until "确定" is pressed
  // again; if it is gone, the screen cannot open the port (no other device is tried).
  QString portDevice;
  bool portReopen = false;
  int entryFunction = 0;  // 1 arc, 2 line, 3 normal
  PortOpener openPort;
  QHash<int, std::shared_ptr<PortState>> ports;
};

Session& session();
// What is known of the line on a port (answers on their way, the controller's timing, OFFs and
// stops owed), for as long as the program runs.
std::shared_ptr<PortState> portState(int portNumber);
// Opens a real serial port (QSerialPort, 9600 8N1) for a port number: the device "确定" found.
std::unique_ptr<QIODevice> openRealPort(int portNumber, QString* error);
void resetSession();  // back to program start (tests)

}  // namespace lorvane::ui
