#include "ui/session.h"

#include <QSerialPort>

#include "link/link.h"

namespace lorvane::ui {

std::unique_ptr<QIODevice> openRealPort(int n, QString* error) {
  Session& s = session();
  if (s.portDevice.isEmpty() || n != s.portNumber) s.portDevice = portDeviceName(n);
  return openSerialPort(n < 1 ? QString() : s.portDevice, error);
}

Session& session() {
  static Session s{0, {}, false, 0, openRealPort, {}};
  return s;
}

std::shared_ptr<PortState> portState(int portNumber) {
  auto& p = session().ports[portNumber];
  if (!p) p = std::make_shared<PortState>();
  return p;
}

void resetSession() {
  const PortOpener opener = session().openPort;
  session() = Session{0, {}, false, 0, opener, {}};
}

}  // namespace lorvane::ui
