#pragma once
// Every frame the program puts on the line or takes from it, and what became of it: the record
// behind the traffic monitor and the trace file. One for the whole program (every screen's
// engine reports here); it keeps the last kHistory events and counts since the program started.
#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>

namespace lorvane {

enum class Outcome {
  Sent,       // a request went out
  Resent,     // the same request again, its answer not in
  Answered,   // a reply taken as the answer to the request waiting for it
  Refused,    // an exception reply: the controller refused the request
  TimedOut,   // no answer by the request's deadline (a note, no frame)
  Late,       // an answer to a request given up on, or to a screen gone: counted, not taken
  LateTaken,  // a late answer matched to its own request and used for it
  Stray,      // a second copy of an answer, or a frame while the line settles
  OutOfStep,  // answers nothing owed: the values read since the line was last in step are unread
  Unmatched,  // a well-formed frame that does not answer the request waiting (wrong function, count, echo)
  Malformed,  // not a whole frame with a right LRC from slave 01 (the reason says why)
};

struct TrafficEvent {
  QDateTime time;          // wall clock, to the millisecond
  bool sent = false;       // towards the controller (else from it, or a note)
  QByteArray frame;        // ":" ... CR LF as on the line (empty for a time-out note)
  QByteArray request;      // the body of the request it concerns, where there is one
  Outcome outcome = Outcome::Sent;
  QString reason;          // why a frame was malformed
  int replyTimeoutMs = 0;  // the reply time-out in force for the request
};

class Traffic : public QObject {
  Q_OBJECT
 public:
  static constexpr std::size_t kHistory = 10000;
  static Traffic& instance();

  void record(TrafficEvent event);
  const std::deque<TrafficEvent>& history() const { return history_; }
  void clearHistory() { history_.clear(); }
  // Back to how the program started: no history, no counts, no port (tests).
  void reset() {
    history_.clear();
    counters_ = {};
    replyTimeoutMs_ = 0;
    port_.clear();
  }

  struct Counters {
    int requests = 0;   // Sent and Resent
    int resends = 0;
    int replies = 0;    // Answered and Refused
    int timeouts = 0;
    int late = 0;       // Late and Stray
    int malformed = 0;  // Malformed and Unmatched
  };
  const Counters& counters() const { return counters_; }
  int replyTimeoutMs() const { return replyTimeoutMs_; }  // the last one in force
  QString port() const { return port_; }
  void setPort(const QString& port) { port_ = port; }

 signals:
  void recorded(const lorvane::TrafficEvent& event);

 private:
  std::deque<TrafficEvent> history_;
  Counters counters_;
  int replyTimeoutMs_ = 0;
  QString port_;
};

}  // namespace lorvane
