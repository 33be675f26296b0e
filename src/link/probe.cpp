#include "link/probe.h"

#include "frames/frames.h"
#include "link/link.h"
#include "frames/registers.h"

namespace lorvane {

ControllerProbe::ControllerProbe(QStringList devices, QObject* parent) : QObject(parent), devices_(std::move(devices)) {
  replyTimer_.setSingleShot(true);
  connect(&replyTimer_, &QTimer::timeout, this, &ControllerProbe::noAnswer);
  // The next port is asked from the event loop, once the last one's handlers have returned.
  nextTimer_.setSingleShot(true);
  nextTimer_.setInterval(0);
  connect(&nextTimer_, &QTimer::timeout, this, &ControllerProbe::askNext);
}

ControllerProbe::~ControllerProbe() {
  if (port_) port_->close();
}

const QList<Request>& ControllerProbe::questions() {
  static const QList<Request> q = {Request::read(reg::RunStatus), Request::read(reg::CurrentProject)};
  return q;
}

bool ControllerProbe::plausible(const Request& question, int value) {
  // The run status is 0 (standby) or the running step 1..50; the current project one of the ten
  // (0 from a controller that has never chosen one).
  if (question.address == reg::RunStatus) return value <= 50;
  if (question.address == reg::CurrentProject) return value <= 10;
  return false;
}

void ControllerProbe::start() {
  if (running_) return;
  running_ = true;
  result_ = Result{};
  result_.outcomes = QList<Outcome>(devices_.size(), Outcome::NotAsked);
  index_ = -1;
  askNext();
}

void ControllerProbe::cancel() {
  if (!running_) return;
  result_.cancelled = true;
  if (port_) endPort(Outcome::NotAsked);
  finish();
}

void ControllerProbe::askNext() {
  if (!running_) return;
  if (++index_ >= devices_.size()) {
    finish();
    return;
  }
  emit asking(index_);
  if (!running_) return;  // cancelled from the progress signal
  QString error;
  port_ = openSerialPort(devices_[index_], &error);
  if (!port_) {
    result_.outcomes[index_] = Outcome::CannotOpen;
    nextTimer_.start();
    return;
  }
  connect(port_.get(), &QIODevice::readyRead, this, &ControllerProbe::readAvailable);
  connect(port_.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
    if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError && port_) endPort(Outcome::Silent);
  });
  question_ = 0;
  attempt_ = 0;
  send();
}

void ControllerProbe::send() {
  // Whatever is still waiting on the line is not an answer to this question.
  port_->clear(QSerialPort::Input);
  port_->readAll();
  assembler_.clear();
  const QByteArray frame = buildFrame(questions()[question_].body());
  if (port_->write(frame) != frame.size()) {
    endPort(Outcome::Silent);
    return;
  }
  replyTimer_.start(replyMs_);
}

void ControllerProbe::readAvailable() {
  if (!port_) return;
  for (const QByteArray& frame : assembler_.feed(port_->readAll())) {
    const Request& q = questions()[question_];
    const Verdict verdict = checkReply(q, frame);
    if (verdict == Verdict::Dropped) continue;  // noise, or not an answer to this read
    if (verdict == Verdict::Refused || !plausible(q, replyWord(frame))) {
      endPort(Outcome::NotController);
      return;
    }
    if (++question_ < questions().size()) {
      attempt_ = 0;
      send();
      return;
    }
    result_.found = index_;
    endPort(Outcome::Answered);
    finish();
    return;
  }
}

void ControllerProbe::noAnswer() {
  if (!port_) return;
  if (attempt_++ == 0) {
    send();  // once more: one lost frame does not hide a controller
    return;
  }
  endPort(Outcome::Silent);
}

void ControllerProbe::endPort(Outcome outcome) {
  replyTimer_.stop();
  if (port_) {
    // Closed now, deleted once its own signal (readyRead, errorOccurred) has returned.
    port_->disconnect(this);
    port_->close();
    QSerialPort* closed = port_.release();
    closed->setParent(this);
    closed->deleteLater();
  }
  result_.outcomes[index_] = outcome;
  if (outcome != Outcome::Answered && !result_.cancelled) nextTimer_.start();
}

void ControllerProbe::finish() {
  if (!running_) return;
  running_ = false;
  replyTimer_.stop();
  nextTimer_.stop();
  emit finished();
}

}  // namespace lorvane
