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

#include "frames/declarations.h"
#include "frames/encode.h"
#include "link/line_guard.h"
#include "link/link.h"
#include "link/operation.h"
#include "link/queue.h"
#include "frames/request.h"
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
  // The clock every engine starts with: one for the whole program, as the line's times outlive a
  // screen. A test that moves time itself sets it before any screen exists (null: the real one).
  static void setDefaultClock(Clock clock);
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
  // Clicked into: reads no longer overwrite a field that shows a value. One that has shown nothing
  // read yet goes on being read until the operator's first key, else it would never be read and
  // every download that writes it would be refused.
  void clickField(const Name& field);
  void typeField(const Name& field, const QString& text);
  void click(const Name& button);
  void press(const Name& button);
  void release(const Name& button);
  // Releases every held button (leaving the screen, focus lost).
  void releaseAll();

  // A tool's or a window's request of the controller, sent after the commands already waiting
  // and before the read cycle (link/operation.h). An empty one is done at once.
  Operation* submit(const QList<Register>& reads);
  Operation* submit(const QList<RegisterWrite>& writes);
  // A command coil ON, repeated until acknowledged, then `msAfter` with nothing sent while the
  // controller carries it out.
  Operation* submitCommand(std::uint16_t coil, int msAfter);
  // The read cycle waits while a window reads or writes through the engine: the controller may
  // have another project or step selected meanwhile, and what the cycle read would be another's.
  void holdReads() { ++readsHeld_; }
  void releaseReads() { --readsHeld_; }

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
  bool busy() const { return lineGuard().waiting(clock_()); }
  // The base reply time-out of a request: both frames on a 9600-baud line plus the controller's
  // allowance. A port that has shown a slow controller waits longer (LineGuard).
  static int replyTimeoutMs(const QByteArray& body) { return LineGuard::baseTimeoutMs(Request::fromBody(body)); }
  static int replyTimeoutMs(const Request& request) { return LineGuard::baseTimeoutMs(request); }
  // The time-out in force on this engine's line.
  int replyTimeoutOnLine(const Request& request) const { return lineGuard().replyTimeoutMs(request); }
  // What the engine knows of its line (the port's, or its own while no line is attached).
  const LineGuard& lineGuard() const { return link_ ? link_->port().line : ownPort_.line; }
  // OFFs and stops not yet acknowledged go to the port, to be sent first when it is open again.
  void handOver();
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
  // An OFF or a stop owed from before the port was last closed has been acknowledged.
  void stopDelivered();

 private:
  friend class Operation;
  static Clock& defaultClock();
  std::int64_t now() const { return clock_(); }
  Operation* start(QList<Planned> steps, int total);
  // The operation's job leaves the queue; the operation itself is ended by the caller.
  void dropOperation(Operation* op);
  void endOperations(Operation::Result result);
  void checkOperations();  // time-outs
  Operation* operationOf(int job) const { return ops_.value(job); }
  LineGuard& guard() { return link_ ? link_->port().line : ownPort_.line; }
  void timeOut(const LineGuard::Owed& owed);
  void advanceWaits();
  void sendNext();
  // Sends the request if the line allows it, or the settling read the line asks for in its place.
  bool offer(const Request& request, int job, int read);
  void send(const Request& request, int job, int read);
  bool mine(const LineGuard::Owed& owed) const { return owed.sender.owner == id_; }
  int jobOnLine() const;  // the job of this engine's request in flight, 0 for none
  void answered(const LineGuard::Owed& done, bool refused, const QByteArray& frame);
  bool takeLate(const LineGuard::Owed& owed, const QByteArray& frame);
  void lostStep(const LineGuard::Verdict& verdict, std::int64_t since);
  void acknowledge(int jobId, const QByteArray& frame);
  void finish(Job job);
  void run(const DoneEffects& effects, const Name& button);
  bool refuses(const Guard& guard) const;
  void abandon();
  bool show(const Read& read, const QByteArray& frame);
  void setPending(const Name& button, bool on);
  void notify(const QString& text);
  bool ask(const QString& title, const QString& text);
  const Momentary* momentary(const Name& button) const;
  const Sequence* sequence(const Name& button) const;
  // Tells the traffic record what became of a frame (or of a request, for a time-out).
  void note(Outcome outcome, const QByteArray& frame, const std::optional<Request>& request = {}, bool sent = false);

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
  PortState ownPort_;             // used while no line is attached
  QHash<int, QPointer<Operation>> ops_;  // the operations under way, by their job
  std::int64_t heard_ = -1;       // the last whole frame from the controller
  int readsHeld_ = 0;
  const std::uint64_t id_;        // names this engine's requests on the port
  std::uint64_t table_ = 1;       // which read table (and which values) answers belong to
  int cycle_ = 0;
  int silent_ = 0;
  bool stalled_ = false;  // a single-shot request went unanswered: wait for the silent limit
  bool owed_ = false;     // a tick came while the line was busy: send as soon as it is free
  int modal_ = 0;         // message boxes open
  bool leaving_ = false;
};

}  // namespace lorvane
