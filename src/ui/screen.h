#pragma once
// A screen that talks to the controller: a form with the exchange engine, its tick timer and
// the port it opens at load and closes when the operator leaves.
#include <QPointer>
#include <QTimer>
#include <memory>

#include "link/exchange.h"
#include "ui/form.h"

namespace lorvane {
class Link;
}

namespace lorvane::ui {

class Screen : public Form {
  Q_OBJECT
 public:
  Screen(const QString& formName, ScreenDecl decl, QWidget* parent = nullptr);
  ~Screen() override;

  Exchange& exchange() { return exchange_; }
  QTimer& timer() { return timer_; }
  bool portOpen() const;

  // Opens the port the operator chose and starts the tick. False: it could not be opened.
  bool openPort(int portNumber);
  // Takes no more clicks or presses, sends the OFF of any held button and waits (bounded) for it
  // and any stop to be answered, then stops the tick and closes the port. False when a hold-to-run
  // coil may still be on: its OFF was not acknowledged.
  bool closePort();
  bool load() override;
  bool leave() override { return closePort(); }
  // A message box of this screen: while it is open only OFFs and stops go out.
  void message(const QString& text);
  // Names in the exchange tables that no control of the screen carries (a misspelling).
  QStringList unknownNames() const;

  // How long leaving waits for OFFs and stops to be acknowledged.
  static constexpr int kLeaveWaitMs = 1500;

 signals:
  // The line failed while the screen ran. coilMayBeOn: a hold-to-run coil was not switched off.
  void portLost(bool coilMayBeOn);

 protected:
  // Connects the controls named in the declaration to the engine. Call once the controls exist.
  void bindControls();
  void changeEvent(QEvent* e) override;

 private:
  void onPortLost();
  void onStopNotDelivered();
  void dropLink();

  Exchange exchange_;
  QTimer timer_;
  std::unique_ptr<QIODevice> port_;
  Link* link_ = nullptr;
  bool closing_ = false;
};

// What the operator is told when an axis may still be running: a stop that did not reach the
// controller, or a line lost while a hold-to-run coil was on.
QString axisMayRun();
// What the operator is told when such a stop, owed since the port was closed or lost, has got
// through after all.
QString stopDeliveredText();

}  // namespace lorvane::ui
