#include "screen_env.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cmath>
#include <utility>

#include "link/port_list.h"
#include "ui/session.h"

namespace lorvane::test {

namespace {
// The computer's own serial ports: none. The main screen lists only the ports a test makes (links
// in its ports folder, or a source of its own), whatever the machine the tests run on has.
class NoSerialPorts : public PortSource {
 public:
  QList<PortDescription> ports() override { return {}; }
  bool busy(const QString&) override { return false; }
};
}  // namespace

QString groupOf(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (auto* g = qobject_cast<const QGroupBox*>(p)) return g->objectName();
  return {};
}

ScreenEnv::ScreenEnv() {
  real_.start();
  // Every engine runs on the test's clock from its first moment, as the program's engines share
  // one: a screen whose first frames came before drive() would otherwise time the line apart.
  Exchange::setDefaultClock([this] { return now + real_.elapsed(); });
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
  setPortSource(std::make_shared<NoSerialPorts>());
  ui::resetSession();
  ui::session().openPort = [this](int n, QString* error) -> std::unique_ptr<QIODevice> {
    if (n != 1 || refuseOpen) {
      if (error) *error = QStringLiteral("no such port");
      return nullptr;
    }
    auto port = std::make_unique<SimPort>(&model, nullptr, wire_);
    port_ = port.get();
    taken_ = 0;
    ++opens;
    openAtOnce = std::max(openAtOnce, ++openNow_);
    connect(port.get(), &QIODevice::aboutToClose, this, [this] { --openNow_; });
    connect(port.get(), &QObject::destroyed, this, [this, p = port.get()] {
      if (port_ == p) port_ = nullptr;
    });
    if (onOpen) onOpen(*port);
    // A paced line tells the link how long a character takes, as a serial port's baud rate does.
    if (port->paced()) port->setProperty("charMs", SimPort::kCharMs);
    return port;
  };
  shell::addStandardScreens(map_);
  boxWatch_.setInterval(5);
  connect(&boxWatch_, &QTimer::timeout, this, &ScreenEnv::answerBox);
  boxWatch_.start();
}

ScreenEnv::~ScreenEnv() {
  boxWatch_.stop();
  Exchange::setDefaultClock(nullptr);
  ui::resetSession();
  setPortSource(nullptr);
}

ui::Form* ScreenEnv::start() {
  ui::Form* f = map_.start();
  if (auto* s = currentScreen()) drive(s);
  return f;
}

void ScreenEnv::drive(ui::Screen* screen) {
  if (!screen) return;
  screen->timer().stop();
  // The test's clock, moving with real time too, one for every screen as the program has one.
  screen->exchange().setClock([this] { return now + real_.elapsed(); });
}

void ScreenEnv::ticks(ui::Screen* screen, int n) {
  for (int i = 0; i < n && screen; ++i) {
    const std::int64_t next = now + screen->exchange().interval();
    // On a paced line, replies arrive between the ticks, when their last character is in.
    while (port_ && port_->paced() && port_->nextDue() >= 0 && port_->nextDue() <= double(next)) {
      const auto due = static_cast<std::int64_t>(std::ceil(port_->nextDue()));
      model.advance(static_cast<int>(due - now));
      now = due;
      port_->deliverDue(double(now));
      QCoreApplication::processEvents();
      QCoreApplication::processEvents();
    }
    model.advance(static_cast<int>(next - now));
    now = next;
    screen->exchange().tick();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
}

bool ScreenEnv::until(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void ScreenEnv::click(const QString& name) {
  auto* b = map_.current()->findChild<QPushButton*>(name);
  Q_ASSERT(b);
  QTest::mouseClick(b, Qt::LeftButton);
  QCoreApplication::processEvents();
  if (auto* s = currentScreen(); driveScreens && s && s->timer().isActive()) drive(s);  // a new screen was loaded
}

void ScreenEnv::press(const QString& name) {
  QTest::mousePress(map_.current()->findChild<QPushButton*>(name), Qt::LeftButton);
}

void ScreenEnv::release(const QString& name) {
  QTest::mouseRelease(map_.current()->findChild<QPushButton*>(name), Qt::LeftButton);
}

void ScreenEnv::type(const QString& field, const QString& text) {
  auto* f = map_.current()->findChild<QLineEdit*>(field);
  Q_ASSERT(f);
  QTest::mouseClick(f, Qt::LeftButton);
  f->selectAll();
  QTest::keyClick(f, Qt::Key_Delete);
  QTest::keyClicks(f, text);
}

QList<QByteArray> ScreenEnv::takeSent() {
  QList<QByteArray> bodies;
  if (!port_) return bodies;
  const QList<QByteArray>& all = port_->sent();
  for (; taken_ < all.size(); ++taken_) bodies << all[taken_].mid(1, all[taken_].size() - 5);
  return bodies;
}

QList<QByteArray> ScreenEnv::takeWrites() {
  QList<QByteArray> writes;
  for (const QByteArray& b : takeSent())
    if (!b.startsWith("0103")) writes << b;
  return writes;
}

ui::Screen* ScreenEnv::openTestPage(const char* menuButton) {
  start();
  click("Okcmd");
  click("Tstcmd");
  click(menuButton);
  return currentScreen();
}

ui::Screen* ScreenEnv::openDirect(const QString& form) {
  start();
  click("Okcmd");
  map_.go(map_.current(), shell::Route{.from = "Mainfrm1", .button = "Okcmd", .to = form});
  drive(currentScreen());
  return currentScreen();
}

QString ScreenEnv::shown(const QString& name) const {
  const ui::Form* f = map_.current();
  if (auto* e = f->findChild<QLineEdit*>(name)) return e->text();
  if (auto* l = f->findChild<QLabel*>(name)) return l->text();
  if (auto* b = f->findChild<QPushButton*>(name)) return b->text();
  return QStringLiteral("<no control %1>").arg(name);
}

QString ScreenEnv::text(const QString& field) const { return map_.current()->findChild<QLineEdit*>(field)->text(); }

bool ScreenEnv::isRed(const QString& button) const {
  return map_.current()->findChild<ui::CmdButton*>(button)->shownColour() == ui::Red;
}

bool ScreenEnv::tickUntil(const std::function<bool()>& done, int most) {
  for (int i = 0; i < most; ++i) {
    if (done()) return true;
    ticks(1);
  }
  return done();
}

bool ScreenEnv::downloadOnceRead(const std::function<bool()>& read, const QString& button, int most) {
  if (!tickUntil(read, most)) return false;
  const qsizetype before = boxes.size();
  click(button);
  if (boxes.size() > before) {
    if (!tickUntil(read, most)) return false;
    click(button);
  }
  return tickUntil([&] { return !isRed(button); }, most);
}

ScreenEnv::Outcome ScreenEnv::typeAndClick(const QList<std::pair<QString, QString>>& typed, const QString& button,
                                           int most, const std::function<void()>& afterClick) {
  const qsizetype before = boxes.size();
  takeSent();
  for (const auto& [field, text] : typed) type(field, text);
  click(button);
  if (afterClick) afterClick();
  tickUntil([&] { return !isRed(button); }, most);
  return {boxes.mid(before), takeWrites(), isRed(button)};
}

void PrintTo(const ScreenEnv::Outcome& o, std::ostream* os) {
  *os << "messages {" << o.boxes.join(", ").toStdString() << "}, writes {";
  for (const QByteArray& w : o.writes) *os << (&w == &o.writes.first() ? "" : ", ") << w.toStdString();
  *os << "}, " << (o.red ? "button red" : "button done");
}

void ScreenEnv::answerBox() {
  QMessageBox* fresh = nullptr;
  QMessageBox* waiting = nullptr;  // seen, and left open for the operator's action meanwhile
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* b = qobject_cast<QMessageBox*>(w);
    if (!b || !b->isVisible()) continue;
    if (!b->property("seen").isValid()) fresh = b;
    else waiting = b;
  }
  if (fresh) {
    fresh->setProperty("seen", QDateTime::currentMSecsSinceEpoch());
    boxes << fresh->text();
    boxTitles << fresh->windowTitle();
    if (whileBoxOpen) {
      // The box stays open while the operator (or the line) does something; it is answered
      // later, if it is still there.
      QTimer::singleShot(0, this, [hook = std::exchange(whileBoxOpen, nullptr), text = fresh->text()] { hook(text); });
      return;
    }
    waiting = fresh;
  } else if (!waiting || QDateTime::currentMSecsSinceEpoch() - waiting->property("seen").toLongLong() < 500) {
    return;
  }
  const QMessageBox::StandardButton answer = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
  if (QAbstractButton* b = waiting->button(answer)) b->click();
  else waiting->reject();
}

}  // namespace lorvane::test
