#include "screen_map.h"

#include <QLabel>
#include <algorithm>
#include <QPushButton>

#include "main_screen.h"
#include "screen.h"
#include "session.h"

namespace lorvane::shell {

using ui::Form;

namespace {
const QString kMain = QStringLiteral("Mainfrm1");
const QString kDiagram = QStringLiteral("Mainfrm24");
}  // namespace

ScreenMap::ScreenMap(QObject* parent) : QObject(parent) {}

ScreenMap::~ScreenMap() {
  for (const QPointer<Form>& f : loaded_) delete f.data();
}

void ScreenMap::addScreen(const QString& formName, Factory factory) { factories_[formName] = std::move(factory); }

void ScreenMap::addRoute(Route route) { routes_ << std::move(route); }

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
}

void ScreenMap::unload(Form* form) {
  if (!form) return;
  form->leave();
  loaded_.removeAll(form);
  form->hide();
  form->deleteLater();
  if (current_ == form) current_ = nullptr;
}

void ScreenMap::go(Form* from, const Route& route) {
  if (!factories_.contains(route.to)) return;  // a screen not built yet
  if (Form* diagram = loaded(kDiagram); diagram && route.to == kDiagram) {
    unload(from);  // the diagram is still loaded behind: bring it forward
    diagram->show();
    diagram->raise();
    current_ = diagram;
    emit changed(current_);
    return;
  }
  if (route.closeFirst) from->leave();
  Form* target = create(route.to);
  if (!target->load()) {
    // The port could not be opened for this screen: say so and go back to the main screen
    // with the port closed, for the operator to check the line and open it again.
    unload(target);
    unload(from);
    ui::showMessage(nullptr, QStringLiteral("串口%1打开失败，请检查串口后在主界面重新打开").arg(ui::session().portNumber));
    showMain(false);
    return;
  }
  target->show();
  current_ = target;
  if (route.afterShow) route.afterShow(target);
  if (route.unload) unload(from);
  emit changed(current_);
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
  Form* main = loaded(kMain);
  if (current_ != diagram && !(main && current_ == main)) {
    unload(diagram);
    return;
  }
  showMain(true);
  if (close) unload(diagram);
}

void ScreenMap::portLost(Form* form, bool coilMayBeOn) {
  if (ending_) return;
  ui::showMessage(form, coilMayBeOn ? QStringLiteral("串口通讯中断，轴可能仍在运行，请立即检查设备！")
                                    : QStringLiteral("串口通讯中断，请检查串口连接"));
  unload(form);
  if (Form* main = loaded(kMain)) unload(main);
  showMain(false);
}

void ScreenMap::windowClosed(Form* form) {
  if (ending_ || !loaded_.contains(form)) return;
  unload(form);
  const QList<Form*> rest = loadedForms();
  if (rest.isEmpty()) {
    endProgram();
    return;
  }
  if (!current_) current_ = rest.last();
}

void ScreenMap::endProgram() {
  if (ending_) return;
  ending_ = true;
  for (Form* f : loadedForms()) f->leave();  // a held axis gets its OFF before the port closes
  emit programEnds();
}

}  // namespace lorvane::shell
