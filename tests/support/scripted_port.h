#pragma once
// A line whose far end is the test itself: it records every frame written and delivers the
// bytes a test hands it, at once, as a controller's reply would arrive.
#include <QByteArray>
#include <QIODevice>
#include <QList>

namespace lorvane::test {

class ScriptedPort : public QIODevice {
 public:
  ScriptedPort() { open(QIODevice::ReadWrite); }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return in_.size() + QIODevice::bytesAvailable(); }

  // Everything written, one entry per write.
  QList<QByteArray> written;
  QByteArray lastFrame() const { return written.isEmpty() ? QByteArray() : written.last(); }
  // The body of the last frame (":" and LRC CR LF cut off).
  QByteArray lastBody() const { return written.isEmpty() ? QByteArray() : written.last().mid(1, written.last().size() - 5); }

  void deliver(const QByteArray& bytes) {
    in_ += bytes;
    emit readyRead();
  }

 protected:
  qint64 readData(char* data, qint64 max) override {
    const qint64 n = qMin<qint64>(max, in_.size());
    memcpy(data, in_.constData(), static_cast<size_t>(n));
    in_.remove(0, n);
    return n;
  }
  qint64 writeData(const char* data, qint64 len) override {
    written.append(QByteArray(data, static_cast<qsizetype>(len)));
    return len;
  }

 private:
  QByteArray in_;
};

}  // namespace lorvane::test
