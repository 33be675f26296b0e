#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>

#include "link/wait.h"

TEST(Wait, KeepsEventsFlowingWithoutSpinning) {
  int argc = 1;
  char name[] = "wait_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  bool fired = false;
  QTimer::singleShot(0, [&] { fired = true; });
  lorvane::waitMs(0);
  EXPECT_TRUE(fired) << "a zero wait still handles what is pending";

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  QElapsedTimer wall;
  wall.start();
  const std::clock_t cpu0 = std::clock();
  lorvane::waitMs(300);
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  EXPECT_GE(wall.elapsed(), 300);
  EXPECT_GE(ticks, 10) << "timer ticks are delivered during the wait";
  EXPECT_LT(cpuMs, 100.0) << "the wait sleeps instead of spinning";
}
