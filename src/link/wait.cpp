#include "link/wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace lorvane {

void waitMs(int ms) {
  QCoreApplication::processEvents();
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace lorvane
