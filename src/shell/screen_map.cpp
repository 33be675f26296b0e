#include "shell/screen_map.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <utility>

#include "shell/main_screen.h"
#include "ui/monitor.h"
#include "ui/screen.h"
#include "ui/session.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace lorvane::shell {

using ui::Form;

namespace {
const QString kMain = QStringLiteral("Mainfrm1");

// A screen's window picture and widgets are freed once it is gone; the C library would keep that
// memory for reuse, so that the program's resident memory crept up over a week of screen changes
// to the most it ever needed at once. It is handed back to the system instead.
void releaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
const QString kDiagram = QStringLiteral("Mainfrm24");
}  // namespace

ScreenMap::ScreenMap(QObject* parent) : QObject(parent) {}

ScreenMap::~ScreenMap() {
  for (const QPointer<Form>& f : loaded_) delete f.data();
}

void ScreenMap::addScreen(const QString& formName, Factory factory) { factories_[formName] = std::move(factory); }

const QStringList& formNames() {
  static const QStringList names = [] {
    QStringList n;
    for (int i = 1; i <= 24; ++i) n << (i == 8 ? QStringLiteral("mainfrm8") : QStringLiteral("Mainfrm%1").arg(i));
    return n;
  }();
  return names;
}

void ScreenMap::addRoute(Route route) { routes_ << std::move(route); }

QStringList ScreenMap::check() const {
  QStringList problems;
  for (const Route& r : routes_) {
    if (!formNames().contains(r.from)) problems << QStringLiteral("route from unknown form %1").arg(r.from);
    if (!r.target && !formNames().contains(r.to))
      problems << QStringLiteral("route %1/%2 to unknown form %3").arg(r.from, r.button, r.to);
  }
  for (const QString& name : factories_.keys()) {
    if (!formNames().contains(name)) problems << QStringLiteral("unknown form %1").arg(name);
    std::unique_ptr<Form> form(build(name));
    if (form->objectName() != name) problems << QStringLiteral("form %1 calls itself %2").arg(name, form->objectName());
    if (const auto* screen = qobject_cast<ui::Screen*>(form.get()))
      for (const QString& missing : screen->unknownNames()) problems << QStringLiteral("%1: no control %2").arg(name, missing);
    for (const Route& r : routes_)
      if (r.from == name && !form->control<QPushButton>(r.button))
        problems << QStringLiteral("%1: no button %2 for its route").arg(name, r.button);
  }
  return problems;
}

QStringList ScreenMap::screenNames() const {
  QStringList names = factories_.keys();
  const auto number = [](const QString& n) { return n.mid(7).toInt(); };  // "Mainfrm12" -> 12
  std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return number(a) < number(b); });
  return names;
}

Form* ScreenMap::build(const QString& formName) const {
  return factories_.contains(formName) ? factories_.value(formName)() : nullptr;
}

Form* ScreenMap::loaded(const QString& formName) const {
  for (const QPointer<Form>& f : loaded_)
    if (f && f->objectName() == formName) return f;
  return nullptr;
}

QList<Form*> ScreenMap::loadedForms() const {
  QList<Form*> forms;
  for (const QPointer<Form>& f : loaded_)
    if (f) forms << f.data();
  return forms;
}

Form* ScreenMap::start() {
  ui::session().portReopen = false;
  showMain(false);
  return current_;
}

Form* ScreenMap::create(const QString& formName) {
  Form* form = factories_.value(formName)();
  loaded_ << form;
  wire(form);
  return form;
}

void ScreenMap::wire(Form* form) {
  const QString name = form->objectName();
  for (const Route& route : routes_) {
    if (route.from != name) continue;
    auto* b = form->control<QPushButton>(route.button);
    if (!b) continue;
    connect(b, &QPushButton::clicked, this, [this, form, route] {
      if (route.from == kDiagram) diagramBack(form, route.unload);
      else go(form, route);
    });
  }
  if (auto* main = qobject_cast<MainScreen*>(form)) {
    connect(main->control<QPushButton>("EXcmd"), &QPushButton::clicked, this, &ScreenMap::endProgram);
    connect(main, &MainScreen::endProgram, this, &ScreenMap::endProgram);
  }
  if (auto* screen = qobject_cast<ui::Screen*>(form))
    connect(screen, &ui::Screen::portLost, this, [this, form](bool coil) { portLost(form, coil); });
  connect(form, &Form::closing, this, [this, form] { windowClosed(form); }, Qt::QueuedConnection);
  ui::installMonitorShortcut(form);  // F12: the traffic monitor
}

void ScreenMap::unload(Form* form) {
  if (!form) return;
  if (!form->leave() && !ending_) warnAxisMayRun(form);
  loaded_.removeAll(form);
  connect(form, &QObject::destroyed, [] { QTimer::singleShot(0, &releaseFreedMemory); });
  form->retire();
  if (current_ == form) current_ = nullptr;
}

void ScreenMap::warnAxisMayRun(Form* form) { ui::showMessage(form, ui::axisMayRun()); }

namespace {
// Marks a change of screen for as long as it runs.
class Changing {
 public:
  explicit Changing(bool& flag) : flag_(flag) { flag_ = true; }
  ~Changing() { flag_ = false; }
  Changing(const Changing&) = delete;
  Changing& operator=(const Changing&) = delete;

 private:
  bool& flag_;
};
}  // namespace

void ScreenMap::go(Form* from, const Route& route) {
  if (changing_ || ending_ || !loaded_.contains(from)) return;  // joins the change under way
  if (route.guard && !route.guard(from)) return;                // the screen says not now
  Route chosen = route;
  if (route.target) chosen.to = route.target();
  if (!factories_.contains(chosen.to)) return;  // leads nowhere now, or to a screen not built yet
  {
    Changing changing(changing_);
    change(from, chosen);
  }
  afterChange();
}

void ScreenMap::change(Form* from, const Route& route) {
  if (Form* diagram = loaded(kDiagram); diagram && route.to == kDiagram) {
    unload(from);  // the diagram is still loaded behind: bring it forward
    diagram->show();
    diagram->raise();
    current_ = diagram;
    emit changed(current_);
    return;
  }
  // The screen left waits here (bounded) for the OFF of a held button; if it did not get
  // through, the operator is told before anything else happens.
  if (route.closeFirst && !from->leave() && !interrupted_.lostPort) warnAxisMayRun(from);
  if (interrupted_.endProgram || interrupted_.lostPort || interrupted_.closed == from) return;
  Form* target = create(route.to);
  if (!target->load()) {
    // The port could not be opened for this screen: say so and go back to the main screen
    // with the port closed, for the operator to check the line and open it again.
    unload(target);
    unload(from);
    ui::showMessage(nullptr, QCoreApplication::translate("lorvane", "串口%1打开失败，请检查串口后在主界面重新打开").arg(ui::session().portNumber));
    showMain(false);
    return;
  }
  target->show();
  current_ = target;
  if (route.afterShow) route.afterShow(target);
  if (route.unload) unload(from);
  emit changed(current_);
}

// What happened while a change was under way is dealt with now, one thing after the other.
void ScreenMap::afterChange() {
  const Interruption what = std::exchange(interrupted_, Interruption{});
  if (what.endProgram) endProgram();
  else if (what.lostPort) portLost(what.lostPort, what.coilMayBeOn);
  else if (what.closed) windowClosed(what.closed);
}

void ScreenMap::showMain(bool reopen) {
  if (Form* main = loaded(kMain)) {
    main->show();
    main->raise();
    main->activateWindow();
    current_ = main;
    emit changed(current_);
    return;
  }
  Form* main = create(kMain);
  ui::session().portReopen = reopen;
  main->load();
  main->show();
  current_ = main;
  emit changed(current_);
}

// The diagram's "返回" shows the main screen and stays loaded behind it; its "退出" closes it.
// Once another screen is current, both only close the diagram: showing the main screen then
// would open the port while that screen still holds it.
void ScreenMap::diagramBack(Form* diagram, bool close) {
  if (changing_ || ending_ || !loaded_.contains(diagram)) return;
  {
    Changing changing(changing_);
    Form* main = loaded(kMain);
    if (current_ != diagram && !(main && current_ == main)) {
      unload(diagram);
    } else {
      showMain(true);
      if (close) unload(diagram);
    }
  }
  afterChange();
}

void ScreenMap::portLost(Form* form, bool coilMayBeOn) {
  if (ending_ || !loaded_.contains(form)) return;
  if (changing_) {
    interrupted_.lostPort = form;
    interrupted_.coilMayBeOn = coilMayBeOn;
    return;
  }
  {
    Changing changing(changing_);
    ui::showMessage(form, coilMayBeOn ? ui::axisMayRun() : QCoreApplication::translate("lorvane", "串口通讯中断，请检查串口连接"));
    unload(form);
    if (Form* main = loaded(kMain)) unload(main);
    showMain(false);
  }
  afterChange();
}

void ScreenMap::windowClosed(Form* form) {
  if (ending_ || !loaded_.contains(form)) return;
  if (changing_) {
    interrupted_.closed = form;
    if (loadedForms().size() == 1) interrupted_.endProgram = true;
    return;
  }
  {
    Changing changing(changing_);
    unload(form);
  }
  if (interrupted_.endProgram || interrupted_.lostPort) return afterChange();
  const QList<Form*> rest = loadedForms();
  if (rest.isEmpty()) {
    endProgram();
    return;
  }
  if (!current_) current_ = rest.last();
}

void ScreenMap::endProgram() {
  if (ending_) return;
  if (changing_) {
    interrupted_.endProgram = true;
    return;
  }
  ending_ = true;
  // A held axis gets its OFF before the port closes; if it did not get through, the operator
  // is told before the program ends.
  bool stopped = true;
  for (Form* f : loadedForms()) stopped = f->leave() && stopped;
  if (!stopped) warnAxisMayRun(current_);
  emit programEnds();
}

}  // namespace lorvane::shell
