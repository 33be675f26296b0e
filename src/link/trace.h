#pragma once
// A traffic event as a line: the time to the millisecond, the direction, the frame as it was on
// the line, what it says and what became of it. The monitor's list and the trace file show the
// same columns from the same function, so a trace sent with a bug report reads like the monitor.
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include "frames/decode.h"
#include "link/traffic.h"

namespace lorvane {

enum TrafficColumn { TimeColumn, DirectionColumn, FrameColumn, MeaningColumn, OutcomeColumn, TrafficColumnCount };

// What the event's frame says (or, for a time-out, the request it concerns), with the register or
// coil it concerns.
FrameMeaning trafficMeaning(const TrafficEvent& event);
// The columns of an event, in TrafficColumn order (the meaning as trafficMeaning() gives it).
QStringList trafficFields(const TrafficEvent& event, const FrameMeaning& meaning);
inline QStringList trafficFields(const TrafficEvent& event) { return trafficFields(event, trafficMeaning(event)); }
// The columns as one line, tab-separated (no line end).
QString trafficLine(const QStringList& fields);
inline QString trafficLine(const TrafficEvent& event) { return trafficLine(trafficFields(event)); }
// The first line of a trace or a saved list: program, version and date.
QString traceHeader();

// Writes every event recorded from its start on to a file, one line each, straight to the file
// (a trace of a run that ends badly keeps all of it).
class TraceFile : public QObject {
  Q_OBJECT
 public:
  explicit TraceFile(QObject* parent = nullptr) : QObject(parent) {}
  // Opens (and empties) the file and starts writing. False, with the reason, if it cannot.
  bool start(const QString& path, QString* error = nullptr);
  bool isWriting() const { return file_.isOpen(); }

 private:
  void write(const TrafficEvent& event);

  QFile file_;
};

}  // namespace lorvane
