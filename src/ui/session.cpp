#include "session.h"

#include <QSerialPort>

#include "link.h"

namespace lorvane::ui {

std::unique_ptr<QIODevice> openRealPort(int n, QString* error) { return openSerialPort(n, error); }

Session& session() {
  static Session s{0, false, 0, openRealPort};
  return s;
}

void resetSession() {
  const PortOpener opener = session().openPort;
  session() = Session{0, false, 0, opener};
}

}  // namespace lorvane::ui
