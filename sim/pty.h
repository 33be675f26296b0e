#pragma once
// A pseudo-terminal that stands in for the controller's serial port. The program opens the
// terminal side (through the comN link); the simulator reads and writes the master side.
// The simulator keeps a terminal-side descriptor of its own open, so the program closing and
// reopening its port never hangs the line up.
#include <QString>

namespace lorvane::sim {

class Pty {
 public:
  Pty() = default;
  ~Pty() { close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool open(QString* error = nullptr);
  void close();
  bool isOpen() const { return master_ >= 0; }
  int master() const { return master_; }
  QString deviceName() const { return device_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString device_;
};

// Where the comN links live: $LORVANE_PORTS, else ~/.config/lorvane/ports.
QString portsFolder();
// Makes folder/comN point at target, replacing an old link. Returns the link's path, or empty.
QString makePortLink(int portNumber, const QString& target, QString* error = nullptr);

}  // namespace lorvane::sim
