#include "ui/screen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>

#include "link/link.h"
#include "link/traffic.h"
#include "ui/session.h"
#include "link/wait.h"

namespace lorvane::ui {

QString stopDeliveredText() { return QCoreApplication::translate("lorvane", "先前未送达的停止命令现已送达控制器。"); }

QString axisMayRun() { return QCoreApplication::translate("lorvane", "串口通讯中断，轴可能仍在运行，请立即检查设备！"); }

Screen::Screen(const QString& formName, ScreenDecl decl, QWidget* parent)
    : Form(formName, parent), exchange_(std::move(decl)) {
  timer_.setObjectName(QStringLiteral("Timer1"));
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(exchange_.interval());
  connect(&timer_, &QTimer::timeout, &exchange_, &Exchange::tick);
  connect(&exchange_, &Exchange::intervalChanged, &timer_, [this](int ms) { timer_.setInterval(ms); });
  connect(&exchange_, &Exchange::timerRestart, &timer_, [this] {
    if (timer_.isActive()) timer_.start();
  });
  exchange_.setNotifier([this](const QString& text) { showMessage(this, text); });
  exchange_.setAsker([this](const QString& title, const QString& text) { return askOkCancel(this, title, text); });
  // Told from the event loop, not from inside the tick that found it.
  connect(&exchange_, &Exchange::stopNotDelivered, this, &Screen::onStopNotDelivered, Qt::QueuedConnection);
  connect(&exchange_, &Exchange::stopDelivered, this, [this] { message(stopDeliveredText()); }, Qt::QueuedConnection);
}

Screen::~Screen() {
  timer_.stop();
  exchange_.setLink(nullptr);
  // The controls die after the engine: a button still held down when the window is destroyed
  // emits its release on the way out, and must not reach the engine that is already gone.
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

bool Screen::portOpen() const { return link_ && link_->isOpen(); }

bool Screen::load() {
  session().portReopen = true;
  return openPort(session().portNumber);
}

bool Screen::openPort(int portNumber) {
  closePort();
  QString error;
  port_ = session().openPort ? session().openPort(portNumber, &error) : nullptr;
  if (!port_) return false;
  link_ = new Link(port_.get(), this);
  link_->setPort(portState(portNumber));
  Traffic::instance().setPort(session().portDevice.isEmpty() ? QStringLiteral("%1").arg(portNumber) : session().portDevice);
  connect(link_, &Link::portLost, this, &Screen::onPortLost, Qt::QueuedConnection);
  exchange_.setLink(link_);
  exchange_.endLeave();
  timer_.start();
  return true;
}

bool Screen::closePort() {
  // Called again from inside the wait below (a second way out of the screen): the first call
  // finishes the job.
  if (closing_) return true;
  if (!link_) {
    dropLink();
    return true;
  }
  closing_ = true;
  Busy busy(this);
  exchange_.beginLeave();
  if (exchange_.hasSafetyWork() && !timer_.isActive()) timer_.start();
  QElapsedTimer waited;
  waited.start();
  while (link_ && link_->isOpen() && exchange_.hasSafetyWork() && waited.elapsed() < kLeaveWaitMs) waitMs(5);
  const bool stopped = !exchange_.anyCoilOn();
  // A command coil switched on for a while (read the project, say) whose OFF did not get through.
  for (const QString& text : exchange_.undeliveredPulses()) showMessage(this, text);
  if (link_ && !link_->isOpen()) onPortLost();  // the line failed during the wait: say so
  exchange_.handOver();  // what is still owed goes first when the port is open again
  dropLink();
  closing_ = false;
  return stopped;
}

// Stops the tick and lets go of the line and the port (closed with it).
void Screen::dropLink() {
  timer_.stop();
  exchange_.setLink(nullptr);
  if (link_) link_->deleteLater();  // it may be the sender of the signal being handled
  link_ = nullptr;
  if (port_) port_->close();
  port_.reset();
}

void Screen::onPortLost() {
  if (!link_) return;
  const bool coilMayBeOn = exchange_.anyCoilOn();
  exchange_.handOver();
  dropLink();
  emit portLost(coilMayBeOn);
}

void Screen::onStopNotDelivered() {
  // Leaving the screen tells it itself, once its wait is over.
  if (!link_ || exchange_.isLeaving()) return;
  message(axisMayRun());
}

void Screen::message(const QString& text) {
  exchange_.enterModal();
  showMessage(this, text);
  exchange_.leaveModal();
}

void Screen::changeEvent(QEvent* e) {
  // A held button whose window loses the mouse and keyboard gets its OFF as if released.
  if (e->type() == QEvent::ActivationChange && !isActiveWindow()) exchange_.releaseAll();
  Form::changeEvent(e);
}

QStringList Screen::unknownNames() const {
  QStringList missing;
  for (const Name& n : namesUsed(exchange_.declaration()))
    if (!findChild<QWidget*>(n)) missing << n;
  return missing;
}

void Screen::bindControls() {
  if (const QStringList missing = unknownNames(); !missing.isEmpty())
    qWarning("%s: the exchange tables name controls it does not have: %s", qPrintable(objectName()),
             qPrintable(missing.join(QStringLiteral(", "))));
  connect(&exchange_, &Exchange::fieldShown, this, [this](const Name& name, const QString& text) {
    if (auto* f = findChild<QLineEdit*>(name)) f->setText(text);
    else if (auto* l = findChild<QLabel*>(name)) l->setText(text);
  });
  connect(&exchange_, &Exchange::pendingChanged, this, [this](const Name& name, bool pending) {
    if (auto* b = findChild<CmdButton*>(name)) b->setPending(pending);
  });
  // An entry field's initial text is only a placeholder: it counts once read or typed.
  for (ValueField* f : findChildren<ValueField*>()) {
    const QString name = f->objectName();
    connect(f, &ValueField::clicked, this, [this, name] { exchange_.clickField(name); });
    connect(f, &QLineEdit::textEdited, this, [this, name](const QString& t) {
      exchange_.lockField(name);
      exchange_.typeField(name, t);
    });
  }
  for (const Sequence& s : exchange_.declaration().sequences) {
    const QString name = s.button;
    auto* b = findChild<QPushButton*>(name);
    if (!b) continue;
    connect(b, &QPushButton::clicked, this, [this, name] { exchange_.click(name); });
    if (!s.disabledWhileWaiting) continue;
    // Disabled from the click until its writes are acknowledged or given up: a button given up
    // stays red, and is enabled again once the read cycle shows values again.
    const auto update = [this, b, name] { b->setEnabled(!exchange_.waits(name)); };
    connect(&exchange_, &Exchange::pendingChanged, b, update);
    connect(&exchange_, &Exchange::fieldShown, b, update);
    connect(b, &QPushButton::clicked, b, update);  // after the engine took the click
  }
  for (const Momentary& m : exchange_.declaration().momentaries) {
    const QString name = m.button;
    if (auto* b = findChild<QPushButton*>(name)) {
      if (auto* cmd = qobject_cast<CmdButton*>(b)) cmd->setAnyMouseButton(true);
      connect(b, &QPushButton::pressed, this, [this, name] { exchange_.press(name); });
      connect(b, &QPushButton::released, this, [this, name] { exchange_.release(name); });
    }
  }
}

}  // namespace lorvane::ui
