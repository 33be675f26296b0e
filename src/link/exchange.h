#pragma once
// The exchange engine that every communicating screen runs. A screen declares its part as
// tables (link/declarations.h); the engine decides which single request goes out at each tick,
// matches the reply to it, shows values and tells the screen which write buttons are pending.
// It knows no widget: the ui layer binds fields and buttons to it by name.
//
// Three parts, each with its own reason to change: the encoding of a sequence (link/encode.h),
// the command queue and its rules (link/queue.h), and here the line with the read cycle.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/declarations.h"
#include "link/encode.h"
#include "link/link.h"
#include "link/queue.h"
#include "link/request.h"
#include "link/traffic.h"

namespace lorvane {

class Exchange : public QObject {
  Q_OBJECT
 public:
  using Clock = std::function<std::int64_t()>;  // milliseconds, monotonic

  explicit Exchange(ScreenDecl decl, QObject* parent = nullptr);
  ~Exchange() override;

  void setLink(Link* link);
  void setClock(Clock clock) { clock_ = std::move(clock); }
  // Shows a modal message; the engine sends nothing but OFFs and stops while it is open.
  void setNotifier(std::function<void(const QString&)> notify) { notify_ = std::move(notify); }
  // Asks the operator (title, text); true for OK. Nothing is sent while the question is open.
  void setAsker(std::function<bool(const QString&, const QString&)> ask) { ask_ = std::move(ask); }

  // The timer calls this; tests call it directly.
  void tick();
  // A whole frame from the line.
  void onFrame(const QByteArray& frame);

  // Operator actions.
  void lockField(const Name& field);
  void typeField(const Name& field, const QString& text);
  void click(const Name& button);
  void press(const Name& button);
  void release(const Name& button);
  // Releases every held button (leaving the screen, focus lost).
  void releaseAll();

  // Changes the screen's declaration at run time (another axis, another step).
  void setReads(QList<Read> reads, bool forgetValues = true);
  void setSequences(QList<Sequence> sequences) { decl_.sequences = std::move(sequences); }
  void setInterval(int ms);
  // The current step or project changed: the values of the registers banked by it are read
  // again before anything can write them, and every lock is cleared.
  void forgetBanked();
  // These controls show nothing (and count as unread, their locks cleared) until their registers
  // are read again.
  void blank(const QList<Name>& controls);

  // Leaving the screen: clicks and presses are no longer taken, held buttons are released, and
  // nothing but OFFs and stops goes out any more.
  void beginLeave();
  void endLeave() { leaving_ = false; }  // the port was opened again (main screen, "确定")
  bool isLeaving() const { return leaving_; }
  // A message box of the screen is open: only OFFs and stops go out until it closes.
  void enterModal() { ++modal_; }
  void leaveModal() { --modal_; }

  // Inspection.
  const ScreenDecl& declaration() const { return decl_; }
  int interval() const { return decl_.intervalMs; }
  QString fieldText(const Name& field) const { return fields_.value(field).text; }
  bool isLocked(const Name& field) const { return fields_.value(field).locked; }
  std::optional<std::int64_t> lastRead(const Name& field) const { return fields_.value(field).lastRead; }
  bool isPending(const Name& button) const { return pending_.contains(button); }
  // A sequence of this button waits to go out or is on its way (not yet acknowledged).
  bool waits(const Name& button) const { return queue_.waits(button); }
  // OFFs and stops still to be acknowledged.
  bool hasSafetyWork() const { return queue_.hasMustReach(); }
  // A hold-to-run coil whose ON may have reached the controller and whose OFF has not been
  // acknowledged.
  bool anyCoilOn() const { return !coilsOn_.isEmpty(); }
  // What the operator is to be told of OFFs of pulses (ON, wait, OFF) that did not get through.
  QStringList undeliveredPulses() const;
  int silentTicks() const { return silent_; }
  int readIndex() const { return cycle_; }
  bool busy() const { return line_ == Line::Waiting && !expired(); }
  // The base reply time-out of a request: both frames on a 9600-baud line plus the controller's
  // allowance. A port that has shown a slow controller waits longer (LineTiming).
  static int replyTimeoutMs(const QByteArray& body);
  static int replyTimeoutMs(const Request& request);
  // The time-out in force on this engine's line.
  int replyTimeoutOnLine(const Request& request) const;
  // How long an OFF or a stop may stay unacknowledged before the operator is warned.
  static constexpr int kStopWarnMs = 1000;

 signals:
  void fieldShown(const Name& field, const QString& text);
  void pendingChanged(const Name& button, bool pending);
  void intervalChanged(int ms);
  void timerRestart();
  // An OFF or a stop has gone unacknowledged for kStopWarnMs (once per command); it keeps being
  // sent.
  void stopNotDelivered();

 private:
  // The line: free, or a request on it waiting for its answer until its deadline.
  enum class Line { Free, Waiting };
  struct Outstanding {
    Request request;
    std::int64_t sentAt = 0;
    std::int64_t deadline = 0;
    int job = 0;    // id of the job it belongs to, 0 for a read
    int read = -1;  // index of the read, -1 when the read table has changed since
  };
  // A request that went unanswered in time, and the copies of it sent since: the controller may
  // still answer each of them late. Until every copy is answered or enough time has passed, no
  // other request whose answer looks the same may go out, or a late answer would be taken for
  // its answer.
  struct Unsettled {
    Request request;
    QList<std::int64_t> sentAt;  // every copy, in order
    int answered = 0;
    std::int64_t firstAnswerAt = -1;
  };

  std::int64_t now() const { return clock_(); }
  bool expired() const { return line_ == Line::Waiting && now() >= out_.deadline; }
  void timeOut();
  void advanceWaits();
  void sendNext();
  bool mayGoOut(const Request& request);
  void send(const Request& request, int job, int read);
  Unsettled* unsettledFor(const Request& request);
  void forgetUnsettled(const Request& request);
  bool answersUnsettled(const QByteArray& frame);
  void lateAnswer(Unsettled& u);
  void strayFrame(const QByteArray& frame);
  void answered(const Outstanding& done, bool refused, const QByteArray& frame);
  void acknowledge(int jobId);
  void finish(Job job);
  void run(const Effects& effects, const Name& button);
  void abandon();
  void show(const Read& read, const QByteArray& frame);
  void setPending(const Name& button, bool on);
  void notify(const QString& text);
  bool ask(const QString& title, const QString& text);
  const Momentary* momentary(const Name& button) const;
  const Sequence* sequence(const Name& button) const;
  LineTiming& timing();
  // Tells the traffic record what became of a frame (or of a request, for a time-out).
  void note(Outcome outcome, const QByteArray& frame, const std::optional<Request>& request = {}, bool sent = false);
  int answerQuietMs();
  static constexpr int kAnswerQuietMs = 30;

  ScreenDecl decl_;
  QPointer<Link> link_;
  Clock clock_;
  std::function<void(const QString&)> notify_;
  std::function<bool(const QString&, const QString&)> ask_;
  Fields fields_;
  QList<Name> pending_;
  QList<Name> held_;
  QList<std::uint16_t> coilsOn_;  // momentary coils whose ON may have reached the controller
  CommandQueue queue_;            // front is the job being sent
  Line line_ = Line::Free;
  Outstanding out_;
  QList<Unsettled> unsettled_;
  QStringList undeliveredPulses_;   // pulse OFFs given up with the screen
  std::int64_t lastAnswerAt_ = -1;  // when the last answer was taken
  LineTiming ownTiming_;            // used while no line is attached
  int cycle_ = 0;
  int silent_ = 0;
  bool stalled_ = false;  // a single-shot request went unanswered: wait for the silent limit
  bool owed_ = false;     // a tick came while the line was busy: send as soon as it is free
  int modal_ = 0;         // message boxes open
  bool leaving_ = false;
};

}  // namespace lorvane
