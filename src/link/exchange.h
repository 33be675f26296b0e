#pragma once
// The exchange engine that every communicating screen runs. A screen declares its part as
// tables (reads, write sequences, momentary commands); the engine decides which single request
// goes out at each tick, matches the reply to it, shows values and tells the screen which write
// buttons are pending. It knows no widget: the ui layer binds fields and buttons to it by name.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <variant>

#include "link/link.h"
#include "link/traffic.h"

namespace lorvane {


using Name = QString;  // a control's objectName: the field or button it stands for

// Allowed values of a written field, with the message the operator is shown otherwise.
struct Range {
  double min = 0;
  double max = 65535;
  QString message;  // "输入的信号范围不在" + range + "内"
};
QString rangeMessage(const QString& range);

// One register (or register pair) read in the screen's cycle.
struct Read {
  std::uint16_t reg = 0;
  int count = 1;   // 1: unsigned 16-bit; 2: signed 32-bit pair, low word first
  Name field;      // where the value is shown (may be empty when only `then` uses it)
  int divisor = 1;  // 100 shows hundredths, 1000 thousandths
  // Derived text ("ON"/"OF", "第07步", ...). An empty result leaves the field empty.
  std::function<QString(std::int64_t)> text = {};
  // The screen's own reaction to the value (a faster tick, say), after the field is shown.
  std::function<void(std::int64_t)> then = {};
};

// A register write whose value comes from a field the operator edits.
struct RegisterWrite {
  std::uint16_t reg = 0;
  Name field;
  int count = 1;   // 2: signed 32-bit pair, low word first
  int scale = 1;   // the value sent is the typed number times this (mm -> hundredths)
  std::optional<Range> range = {};  // checked on the number as sent (after scaling)
  // Whether the check takes the leading number (as operators are taught) or the whole text.
  bool wholeText = false;
};

// A command coil write. `repeat` sends it again at every tick until it is answered.
struct CoilWrite {
  std::uint16_t coil = 0;
  bool on = true;
  bool repeat = false;
};

using WriteStep = std::variant<RegisterWrite, CoilWrite>;

enum class ClearLocks { Written, All };

// A write button and what it sends, in order.
struct Sequence {
  Name button;
  QList<WriteStep> steps;
  ClearLocks clears = ClearLocks::Written;
  // A stop: it goes ahead of everything waiting, repeats until answered, is never dropped by a
  // later click, and discards the waiting sequences of the buttons in `cancels`.
  bool stop = false;
  QList<Name> cancels = {};
  QList<Name> alsoRestores = {};  // further buttons that get their colour back when this is done
  int resumeAt = -1;              // read the cycle resumes at once this is done (-1: unchanged)
  bool restartTimer = false;      // the first request goes out one full interval after the click
  int intervalOnClick = 0;        // tick interval set at the click (0: unchanged)
  int intervalAfter = 0;          // tick interval set once the sequence is acknowledged
};

// A hold-to-run button: coil ON while held, OFF on release.
struct Momentary {
  Name button;
  std::uint16_t coil = 0;
};

struct ScreenDecl {
  int intervalMs = 80;
  int silentLimit = 5;
  bool repeatingReads = false;  // a read is sent at every tick until answered
  QList<Read> reads;
  QList<Sequence> sequences;
  QList<Momentary> momentaries;
};

// Messages of the engine's own refusals.
namespace msg {
inline const QString NotANumber = QStringLiteral("输入的数据不是有效数字");
inline const QString Negative = QStringLiteral("输入的数据不能为负数");
inline const QString Unknown = QStringLiteral("数据尚未读取完毕，请稍后再试");
QString tooLarge(const QString& max);  // "输入的数据超出0-<max>范围"
}  // namespace msg

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
  bool isPending(const Name& button) const { return pending_.contains(button); }
  // OFFs and stops still to be acknowledged.
  bool hasSafetyWork() const;
  // A hold-to-run coil whose ON may have reached the controller and whose OFF has not been
  // acknowledged.
  bool anyCoilOn() const { return !coilsOn_.isEmpty(); }
  int silentTicks() const { return silent_; }
  int readIndex() const { return cycle_; }
  bool busy() const { return outstanding_.has_value() && !expired(); }
  // The base reply time-out of a request: both frames on a 9600-baud line plus the controller's
  // allowance. A port that has shown a slow controller waits longer (LineTiming).
  static int replyTimeoutMs(const QByteArray& body);
  // The time-out in force on this engine's line.
  int replyTimeoutOnLine(const QByteArray& body) const;
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
  struct Job {
    Name button;
    QList<QByteArray> bodies;  // encoded at the click: what was checked is what is sent
    QList<Name> written;       // field per body (empty for coils)
    QList<bool> repeat;        // resend at every tick until answered
    int step = 0;
    bool persistent = false;   // OFFs and stops: never abandoned
    bool sent = false;
    std::uint16_t onCoil = 0;   // a momentary ON: the coil it switches on
    std::uint16_t offCoil = 0;  // a momentary OFF: the coil it switches off
    Sequence seq;               // what to do once everything is acknowledged
    int id = 0;
    std::int64_t queuedAt = 0;
    bool warned = false;        // the operator has been told that this stop is not getting through
  };
  // The request on the line, waiting for its answer until its deadline.
  struct Outstanding {
    QByteArray body;
    std::int64_t sentAt = 0;
    std::int64_t deadline = 0;
    int job = 0;    // id of the job it belongs to, 0 for a read
    int read = -1;  // index of the read, -1 when the read table has changed since
  };
  // A request that went unanswered in time, and the copies of it sent since: the controller may
  // still answer each of them late. Until every copy is answered or enough time has passed, no
  // other request whose answer looks the same (another read of as many registers, another write
  // of the same register) may go out, or a late answer would be taken for its answer.
  struct Unsettled {
    QByteArray body;
    QList<std::int64_t> sentAt;  // every copy, in order
    int answered = 0;
    std::int64_t firstAnswerAt = -1;
  };
  struct Field {
    QString text;
    bool locked = false;
    bool known = false;
  };

  std::int64_t now() const { return clock_(); }
  bool expired() const { return outstanding_ && now() >= outstanding_->deadline; }
  void timeOut();
  void sendNext();
  bool mayGoOut(const QByteArray& body);
  void send(const QByteArray& body, int job, int read);
  Unsettled* unsettledFor(const QByteArray& body);
  void forgetUnsettled(const QByteArray& body);
  bool answersUnsettled(const QByteArray& frame);
  void lateAnswer(Unsettled& u);
  void strayFrame(const QByteArray& frame);
  void acknowledge(int jobId);
  void abandon();
  void show(const Read& read, const QByteArray& frame);
  std::optional<Job> encode(const Sequence& seq, QString* error);
  void setPending(const Name& button, bool on);
  void enqueue(Job job);
  void notify(const QString& text);
  const Momentary* momentary(const Name& button) const;
  std::deque<Job>::iterator findJob(int id);
  LineTiming& timing();
  // Tells the traffic record what became of a frame (or of a request, for a time-out).
  void note(Outcome outcome, const QByteArray& frame, const QByteArray& request = {}, bool sent = false);
  int answerQuietMs();
  static constexpr int kAnswerQuietMs = 30;

  ScreenDecl decl_;
  QPointer<Link> link_;
  Clock clock_;
  std::function<void(const QString&)> notify_;
  QHash<Name, Field> fields_;
  QList<Name> pending_;
  QList<Name> held_;
  QList<std::uint16_t> coilsOn_;  // momentary coils whose ON may have reached the controller
  std::deque<Job> queue_;         // front is the job being sent
  std::optional<Outstanding> outstanding_;
  QList<Unsettled> unsettled_;
  std::int64_t lastAnswerAt_ = -1;  // when the last answer was taken
  LineTiming ownTiming_;            // used while no line is attached
  int cycle_ = 0;
  int silent_ = 0;
  bool stalled_ = false;  // a single-shot request went unanswered: wait for the silent limit
  bool owed_ = false;     // a tick came while the line was busy: send as soon as it is free
  int modal_ = 0;  // message boxes open
  bool leaving_ = false;
  int nextJobId_ = 1;
};

}  // namespace lorvane
