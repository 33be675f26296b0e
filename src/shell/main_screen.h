#pragma once
// The main screen: port selection, the production count, and the way to every working area.
// Beside the port number, the serial ports present (kept up to date while the screen shows) and
// the search for the controller among them.
#include <QList>
#include <QPointer>
#include <QTimer>

#include "link/port_list.h"
#include "link/probe.h"
#include "ui/screen.h"

class QComboBox;
class QProgressDialog;

namespace lorvane::shell {

class MainScreen : public ui::Screen {
  Q_OBJECT
 public:
  MainScreen();
  // At start the port is closed; back from another screen it reopens the port by itself.
  bool load() override;
  bool leave() override;

  // The port number that last opened (1 before any): shown in the port field at start.
  static int rememberedPort();
  // How often the list of ports is read again while the screen shows (ms).
  static constexpr int kListRefreshMs = 1000;
  // The search for the controller now under way (null when none).
  ControllerProbe* probe() const { return probe_; }

 signals:
  // The port could not be opened and the operator has been told: the program ends.
  void endProgram();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void openClicked();
  void setPortOpen(bool open);
  void refreshPorts();
  void portChosen(int index);
  void showTypedPort();
  void findClicked();
  void probeFinished();

  QComboBox* list_ = nullptr;
  QList<PortEntry> entries_;
  QTimer listTimer_;
  QPointer<ControllerProbe> probe_;
  QList<PortEntry> probed_;  // the ports the search asks, in its order
  QStringList busySkipped_;  // and those it leaves alone: another program holds them
  QPointer<QProgressDialog> progress_;
};

}  // namespace lorvane::shell
