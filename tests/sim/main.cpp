// The simulator tests run Qt timers (the in-process port answers from a zero timer), so they
// need an application object.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
