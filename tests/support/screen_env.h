#pragma once
// Screens under test against the simulated controller, in process: port 1 opens a SimPort on
// the model, the screens' timers are replaced by ticks the test steps with a clock it moves, and
// message boxes are answered as an operator would and remembered.
#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <functional>
#include <ostream>
#include <utility>

#include "sim/model.h"
#include "ui/screen.h"
#include "shell/screen_map.h"
#include "printers.h"
#include "sim_port.h"

namespace lorvane::test {

// The name of the group box a control stands in (empty: none).
QString groupOf(const QWidget* w);

class ScreenEnv : public QObject {
  Q_OBJECT
 public:
  ScreenEnv();
  ~ScreenEnv() override;

  sim::ControllerModel model;
  // The port the current screen opened (null when none is open).
  SimPort* port() const { return port_; }
  int opens = 0;          // ports opened so far
  int openAtOnce = 0;     // most ports open at the same time (must stay 1)
  bool refuseOpen = false;  // the port cannot be opened (another program holds it)
  // Applied to every port opened from now on.
  std::function<void(SimPort&)> onOpen;

  // The screen map of the program, started on the main screen.
  shell::ScreenMap& map() { return map_; }
  ui::Form* start();
  ui::Screen* currentScreen() const { return qobject_cast<ui::Screen*>(map_.current()); }

  // Takes over a screen's ticks: its timer stops and its clock is the test's.
  void drive(ui::Screen* screen);
  // n ticks of the screen at its own interval (the model's time moves with them); replies that
  // are due arrive in between (on a paced port, at the time their last character is in:
  // onOpen = [&](SimPort& p) { p.setPacing(5, [&] { return double(env.now); }); }).
  void ticks(ui::Screen* screen, int n);
  void ticks(int n) { ticks(currentScreen(), n); }
  // Runs events until pred holds or ms pass.
  static bool until(const std::function<bool()>& pred, int ms = 3000);
  // Clicks a button (or presses/releases) of the current form by objectName.
  void click(const QString& name);
  void press(const QString& name);
  void release(const QString& name);
  void type(const QString& field, const QString& text);  // click into the field, then type

  // Message boxes: answered automatically (OK, or the queued answers first); their texts.
  QStringList boxes;
  QStringList boxTitles;
  QList<QMessageBox::StandardButton> answers;
  // Runs while a box is open, before it is answered (the operator does something meanwhile).
  std::function<void(const QString& text)> whileBoxOpen;

  // Request bodies sent on the current port since the last call (":" and LRC cut off).
  QList<QByteArray> takeSent();
  // The same, writes and coils only (reads left out).
  QList<QByteArray> takeWrites();

  // Main screen, port 1 opened, the system function test menu, then the menu's button.
  ui::Screen* openTestPage(const char* menuButton);
  // Main screen, port 1 opened, then straight to a form (a page deep in a chain).
  ui::Screen* openDirect(const QString& form);
  // What a field, label or button of the current form shows.
  QString shown(const QString& name) const;
  // What the current form shows in a text field; whether a button shows red (pending).
  QString text(const QString& field) const;
  bool isRed(const QString& button) const;
  // Ticks until done() holds, at most `most` of them.
  bool tickUntil(const std::function<bool()>& done, int most = 200);
  // As an operator downloads with nothing typed: once read() holds, clicks the button; if that
  // is refused (a message: the fields were blanked meanwhile), waits for them again and clicks
  // again. True once the button is no longer red, within `most` ticks for each wait.
  bool downloadOnceRead(const std::function<bool()>& read, const QString& button, int most);

  // What a click on a write or download button came to: the messages it raised, the writes it
  // sent, and whether the button was still red (its writes not done) at the end.
  struct Outcome {
    QStringList boxes;
    QList<QByteArray> writes;
    bool red = false;
    bool operator==(const Outcome&) const = default;
  };
  // Written without a word, the button back to its usual colour; refused with one message,
  // nothing sent, the button still red.
  static Outcome wrote(QList<QByteArray> writes) { return {{}, std::move(writes), false}; }
  static Outcome refused(const QString& message) { return {{message}, {}, true}; }
  // The operator types each text into its field and clicks `button` (`afterClick` looks at the
  // screen at that moment); then ticks until the button is no longer red, at most `most` ticks.
  // What the click raised and sent from the typing on, reads left out.
  Outcome typeAndClick(const QList<std::pair<QString, QString>>& typed, const QString& button, int most = 200,
                       const std::function<void()>& afterClick = {});

  std::int64_t now = 0;
  // Off: screens keep their own timers and real time (runs over a real port).
  bool driveScreens = true;

 private:
  void answerBox();

  // The program's settings (the last port opened) are kept here, never in the user's own.
  QTemporaryDir settings_;
  shell::ScreenMap map_;
  QPointer<SimPort> port_;
  std::shared_ptr<SimWire> wire_ = std::make_shared<SimWire>();  // port 1's, for every port opened
  QElapsedTimer real_;  // real time since the start, so a bounded wait (leaving a screen) still ends
  int openNow_ = 0;
  qsizetype taken_ = 0;
  QTimer boxWatch_;
};

void PrintTo(const ScreenEnv::Outcome& o, std::ostream* os);

}  // namespace lorvane::test
