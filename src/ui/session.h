#pragma once
// The little the program keeps between screens: the port number the operator opened, whether
// the main screen should reopen it by itself, and which step page chain was entered.
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

namespace lorvane::ui {

// Opens port N; null and a reason when it cannot. Tests put an in-process line here.
using PortOpener = std::function<std::unique_ptr<QIODevice>(int portNumber, QString* error)>;

struct Session {
  int portNumber = 0;
  bool portReopen = false;
  int entryFunction = 0;  // 1 arc, 2 line, 3 normal
  PortOpener openPort;
};

Session& session();
// Opens a real serial port (QSerialPort, 9600 8N1) for a port number.
std::unique_ptr<QIODevice> openRealPort(int portNumber, QString* error);
void resetSession();  // back to program start (tests)

}  // namespace lorvane::ui
