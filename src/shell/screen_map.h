#pragma once
// Which button on which screen leads where, and the change of screen itself: close the port
// (where the button does), show the target (its load opens the port), unload the screen left,
// so that two screens never hold the port.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>

#include "ui/form.h"

namespace lorvane::shell {

struct Route {
  QString from;
  QString button;
  QString to = {};         // a form name
  bool closeFirst = true;  // the port is closed before the target is shown
  bool unload = true;      // the screen left is unloaded (the diagram's "返回" keeps it)
  // Done after the target is shown, before its first tick (the axis menu names the axis).
  std::function<void(ui::Form*)> afterShow = {};
  // Decided by the screen at the click: whether the button leads anywhere now (a function
  // label that is on); if not, nothing happens and the port stays open.
  std::function<bool(ui::Form* from)> guard = {};
  // A target computed at the click (the step page chain entered); "" leads nowhere.
  std::function<QString()> target = {};
};

// The 24 forms of the program, by name.
const QStringList& formNames();

class ScreenMap : public QObject {
  Q_OBJECT
 public:
  explicit ScreenMap(QObject* parent = nullptr);
  ~ScreenMap() override;

  using Factory = std::function<ui::Form*()>;
  // Screens that later work adds register here; a route to an unknown screen does nothing.
  void addScreen(const QString& formName, Factory factory);
  void addRoute(Route route);
  const QList<Route>& routes() const { return routes_; }
  QStringList screenNames() const;
  // A screen as it looks before its load, not wired and not loaded (pictures of the screens).
  ui::Form* build(const QString& formName) const;

  // Shows the main screen with the port closed.
  ui::Form* start();
  ui::Form* current() const { return current_; }
  ui::Form* loaded(const QString& formName) const;
  QList<ui::Form*> loadedForms() const;

  // Changes screen as a route says.
  void go(ui::Form* from, const Route& route);
  // Builds every screen and checks every route and every name the screens' tables use: a
  // misspelled control or form name is a problem listed here (empty: all is well).
  QStringList check() const;

 signals:
  void changed(ui::Form* current);
  void programEnds();

 private:
  ui::Form* create(const QString& formName);
  void wire(ui::Form* form);
  void unload(ui::Form* form);
  void showMain(bool reopen);
  void diagramBack(ui::Form* diagram, bool close);
  void portLost(ui::Form* form, bool coilMayBeOn);
  void windowClosed(ui::Form* form);
  void endProgram();
  void warnAxisMayRun(ui::Form* form);
  void change(ui::Form* from, const Route& route);
  void afterChange();

  QHash<QString, Factory> factories_;
  QList<Route> routes_;
  QList<QPointer<ui::Form>> loaded_;
  QPointer<ui::Form> current_;
  bool ending_ = false;
  // A change of screen is under way (the screen left may be waiting for an OFF). What happens
  // meanwhile joins it: a second navigation is dropped, a lost port or a closed window is noted
  // and dealt with when the wait is over.
  bool changing_ = false;
  struct Interruption {
    QPointer<ui::Form> lostPort;  // its line failed
    bool coilMayBeOn = false;
    QPointer<ui::Form> closed;    // its window was closed
    bool endProgram = false;
  } interrupted_;
};

// The screen map of the program: every route and every screen built so far.
void addStandardScreens(ScreenMap& map);

}  // namespace lorvane::shell
