#include "link/trace.h"

#include <QCoreApplication>
#include <QDateTime>

namespace lorvane {

namespace {

struct TraceText {
  Q_DECLARE_TR_FUNCTIONS(TraceText)
};

// The frame as it was on the line, without its CR LF; any other byte that is not printable ASCII
// is shown as <hex>, so that noise on the line is seen for what it was.
QString frameText(const QByteArray& frame) {
  QByteArray shown = frame;
  if (shown.endsWith("\r\n")) shown.chop(2);
  QString text;
  text.reserve(shown.size());
  for (char c : shown) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) text += QLatin1Char(c);
    else text += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toUpper();
  }
  return text;
}

QString outcomeText(const TrafficEvent& e) {
  switch (e.outcome) {
    case Outcome::Sent: return TraceText::tr("已发送");
    case Outcome::Resent: return TraceText::tr("重发");
    case Outcome::Answered: return TraceText::tr("已应答");
    case Outcome::Refused: return TraceText::tr("被拒绝");
    case Outcome::TimedOut: return TraceText::tr("应答超时（%1 ms）").arg(e.replyTimeoutMs);
    case Outcome::Late: return TraceText::tr("迟到，不采用");
    case Outcome::LateTaken: return TraceText::tr("迟到，按其请求采用");
    case Outcome::Stray: return TraceText::tr("多余（重复），丢弃");
    case Outcome::OutOfStep: return TraceText::tr("不对应任何请求：线路失步，已读数据作废");
    case Outcome::Unmatched: return TraceText::tr("不匹配，丢弃");
    case Outcome::Malformed:
      return TraceText::tr("丢弃：%1").arg(e.reason.isEmpty() ? malformedReason(e.frame) : e.reason);
  }
  return {};
}

}  // namespace

FrameMeaning trafficMeaning(const TrafficEvent& e) {
  if (e.frame.isEmpty()) return decodeRequest(e.request);
  // Only an answer matched to its request says which register it carries; a frame that answers
  // nothing owed is shown as it is.
  const bool answers = e.outcome == Outcome::Answered || e.outcome == Outcome::Refused ||
                       e.outcome == Outcome::Late || e.outcome == Outcome::LateTaken;
  return decodeFrame(e.frame, e.sent, answers ? e.request : QByteArray());
}

QStringList trafficFields(const TrafficEvent& e, const FrameMeaning& meaning) {
  QString direction;
  if (!e.frame.isEmpty()) direction = e.sent ? TraceText::tr("发送") : TraceText::tr("接收");
  else direction = QStringLiteral("—");
  return {e.time.toString(QStringLiteral("HH:mm:ss.zzz")), direction, frameText(e.frame), meaning.text,
          outcomeText(e)};
}

QString trafficLine(const QStringList& fields) { return fields.join(QLatin1Char('\t')); }

QString traceHeader() {
  return QStringLiteral("# %1 %2 %3")
      .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

bool TraceFile::start(const QString& path, QString* error) {
  file_.setFileName(path);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
    if (error) *error = file_.errorString();
    return false;
  }
  file_.write(traceHeader().toUtf8() + '\n');
  connect(&Traffic::instance(), &Traffic::recorded, this, &TraceFile::write);
  return true;
}

void TraceFile::write(const TrafficEvent& event) {
  if (file_.write(trafficLine(event).toUtf8() + '\n') < 0) {
    // The disk is full or the file is gone: the program goes on without its trace.
    disconnect(&Traffic::instance(), &Traffic::recorded, this, &TraceFile::write);
    file_.close();
  }
}

}  // namespace lorvane
