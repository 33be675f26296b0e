#pragma once
// What a screen declares to the exchange engine: the registers it reads and where their values
// are shown, the write sequences its buttons start and what else happens when they are clicked
// and done, and its hold-to-run buttons. Every member has a default, so a declaration names only
// what it needs: Read{.reg = reg::CurrentProject, .field = "Dgtxt"}.
#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

namespace lorvane {

using Name = QString;  // a control's objectName: the field or button it stands for

// Allowed values of a written field, with the message the operator is shown otherwise.
struct Range {
  double min = 0;
  double max = 65535;
  QString message = {};  // "输入的信号范围不在" + range + "内"
};
QString rangeMessage(const QString& range);
// The range min..max with the message that names it ("输入的信号范围不在0-50内").
Range range(int min, int max);

// Texts for register values; a value without a text blanks the control that shows it, so a
// control never keeps a state the controller no longer reports.
using Texts = QHash<std::int64_t, QString>;

// A further control filled from the same value: through its texts, or as the number itself when
// it has none.
struct Show {
  Name control = {};
  Texts texts = {};
};

// One register (or register pair) read in the screen's cycle.
struct Read {
  std::uint16_t reg = 0;
  int count = 1;  // 1: unsigned 16-bit; 2: signed 32-bit pair, low word first
  Name field = {};  // where the value is shown (may be empty when only `interval` uses it)
  int scale = 1;  // the register holds the value times this: 100 shows hundredths
  Texts texts = {};  // the field shows these texts instead of the number
  std::function<QString(std::int64_t)> text = {};  // or a text computed from the value
  QList<Show> also = {};
  // The tick interval the value asks for, or none to leave it (a running step reads faster).
  std::function<std::optional<int>(std::int64_t)> interval = {};
};

// ---- the steps of a write sequence -----------------------------------------------------------

// A register write whose value comes from a field the operator edits.
struct Write {
  std::uint16_t reg = 0;
  Name field = {};
  int count = 1;  // 2: signed 32-bit pair, low word first
  int scale = 1;  // the value sent is the typed number times this (mm -> hundredths)
  std::optional<Range> range = {};  // checked on the number as sent (after scaling)
  // Whether the check takes the leading number (as operators are taught) or the whole text.
  bool wholeText = false;
  // Written only when the operator typed into the field since it was read (a register that
  // another screen gives another meaning is not rewritten with what this one read).
  bool onlyIfEdited = false;
};

// A command coil write. `repeat` sends it again at every tick until it is answered.
struct Coil {
  std::uint16_t coil = 0;
  bool on = true;
  bool repeat = false;
};

// Nothing is sent for this long; events keep flowing.
struct Wait {
  int ms = 0;
};

// A coil switched ON, then OFF after `onMs`, then `afterMs` of waiting. Its OFF is delivered like
// a hold-to-run OFF: it goes first, passes an open message box, repeats until its own echo, and
// goes out when the operator leaves the screen or ends the program while the coil may be ON. If
// it cannot be delivered the operator is told `undelivered`.
struct Pulse {
  std::uint16_t coil = 0;
  int onMs = 0;
  int afterMs = 0;
  QString undelivered = {};
};

using Step = std::variant<Write, Coil, Wait, Pulse>;

// ---- what else happens, on the click and once everything is acknowledged ----------------------

struct Restore {  // further buttons get their colour back
  QList<Name> buttons = {};
};
struct ResumeAt {  // the read cycle goes on at the read of this field
  Name field = {};
};
struct KeepCycle {};  // the read cycle goes on where it stands
struct SetInterval {
  int ms = 0;
};
struct RestartTimer {};  // the next request goes out one full interval after the click
struct ForgetBanked {};  // the step or project changed: its values are read again, locks clear
struct Message {
  QString text = {};
};
struct StartSequence {  // as if this button were clicked
  Name button = {};
};
struct Blank {  // these controls show nothing until their registers are read again
  QList<Name> controls = {};
};
// What a click does once it is taken (before anything is sent): its own types, so that an effect
// that only makes sense once the writes are acknowledged cannot be given here.
using ClickEffect = std::variant<SetInterval, RestartTimer, ForgetBanked, Blank>;
using ClickEffects = QList<ClickEffect>;
// What happens once everything of a sequence is acknowledged. The read cycle then starts again
// from its first read, unless the effects say ResumeAt or KeepCycle.
using DoneEffect =
    std::variant<Restore, ResumeAt, KeepCycle, SetInterval, RestartTimer, ForgetBanked, Message, StartSequence, Blank>;
using DoneEffects = QList<DoneEffect>;

enum class ClearLocks { Written, All };

// Asked before anything is sent; Cancel sends nothing. The text may come from values read.
struct Confirm {
  QString title = {};
  std::function<QString(const std::function<std::optional<std::int64_t>(const Name&)>& lastRead)> text = {};
};

// A sequence that writes something else when a field was changed from what was last read.
struct WhenChanged {
  Name field = {};
  QList<Step> steps = {};
  DoneEffects done = {};
};

// A reason to refuse a click, checked before anything is sent; the operator is told `message`.
struct Guard {
  enum class When {
    Waits,   // a sequence of one of `names` (buttons) is not yet acknowledged
    Unread,  // one of `names` (fields) has not been read since the screen loaded
  };
  When when = When::Waits;
  QList<Name> names = {};
  QString message = {};
};
inline Guard refusedWhile(QList<Name> buttons, QString message) { return {Guard::When::Waits, std::move(buttons), std::move(message)}; }
inline Guard needsRead(QList<Name> fields, QString message) { return {Guard::When::Unread, std::move(fields), std::move(message)}; }

// A write button and what it sends, in order.
struct Sequence {
  enum class Kind {
    Command,
    // A stop: it goes ahead of everything waiting, repeats until answered, is never dropped by
    // a later click, and discards the waiting sequences of the buttons in `cancels`.
    Stop,
  };
  Name button = {};
  QList<Step> steps = {};
  Kind kind = Kind::Command;
  QList<Name> cancels = {};
  ClearLocks clears = ClearLocks::Written;
  // The button takes no click (it is disabled) while its sequence is on its way.
  bool disabledWhileWaiting = false;
  ClickEffects onClick = {};
  DoneEffects onDone = {};
  std::optional<Confirm> confirm = {};
  // Checked in order; the first that holds refuses the click.
  QList<Guard> guards = {};
  std::optional<WhenChanged> whenChanged = {};
};

// A hold-to-run button: coil ON while held, OFF on release.
struct Momentary {
  Name button = {};
  std::uint16_t coil = 0;
};

struct ScreenDecl {
  int intervalMs = 80;
  int silentLimit = 5;
  bool repeatingReads = false;  // a read is sent at every tick until answered
  // Every frame from the controller starts the tick interval again: the next request goes out a
  // full interval after the last reply.
  bool restartTickOnReply = false;
  QList<Read> reads = {};
  QList<Sequence> sequences = {};
  QList<Momentary> momentaries = {};
};

// Every control name a declaration uses (fields, buttons, further controls).
QList<Name> namesUsed(const ScreenDecl& decl);

// Messages of the engine's own refusals.
namespace msg {
QString notANumber();  // "输入的数据不是有效数字"
QString negative();    // "输入的数据不能为负数"
QString unknown();     // "数据尚未读取完毕，请稍后再试"
QString tooLarge(const QString& max);  // "输入的数据超出0-<max>范围"
}  // namespace msg

}  // namespace lorvane
