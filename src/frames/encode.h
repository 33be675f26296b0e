#pragma once
// A write sequence turned into the requests it sends, checked whole at the click: the texts of
// its fields in, the requests (and timed waits) out, or the message that refuses them. Pure: no
// line, no time.
#include <QHash>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

#include "frames/declarations.h"
#include "frames/request.h"

namespace lorvane {

// What the engine knows of a field.
struct FieldState {
  QString text = {};
  bool known = false;   // read, or typed, since the screen loaded (or its step changed)
  bool edited = false;  // typed since it was last read
  bool locked = false;  // clicked into: reads do not overwrite it
  std::optional<std::int64_t> lastRead = {};  // the raw value last read into it
  std::int64_t readAt = -1;                   // when (the engine's clock)
};
using Fields = QHash<Name, FieldState>;

// One thing a sequence does on the line, in order.
struct Planned {
  enum class Kind { Send, Wait };
  Kind kind = Kind::Send;
  Request request = {};
  Name written = {};      // the field a register write takes its value from
  bool repeat = false;    // sent again at every tick until answered
  bool mustReach = false; // an OFF that goes first and is never given up
  bool pulseOn = false;   // switches on a coil whose OFF follows in this sequence
  int waitMs = 0;
  QString undelivered = {};  // told when an OFF that must reach the controller does not
};

// The requests of these steps, or the message that refuses them (nothing is then sent).
std::variant<QList<Planned>, QString> plan(const QList<Step>& steps, const Fields& fields, bool stop = false);

// The number a field's text stands for, encoded for a register write, or why it cannot be.
std::variant<std::int64_t, QString> encodeValue(const Write& write, const QString& text);

}  // namespace lorvane
