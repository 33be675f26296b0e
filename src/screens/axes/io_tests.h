#pragma once
// The wiring tests: the input test (Mainfrm9) shows the thirteen inputs L1 to L13 while its
// test button is held; the output test (Mainfrm10) switches one chosen output Y1 to Y12.
#include <cstdint>

#include "ui/screen.h"

namespace lorvane::screens {

class InputTest : public ui::Screen {
  Q_OBJECT
 public:
  InputTest();
};

class OutputTest : public ui::Screen {
  Q_OBJECT
 public:
  OutputTest();
};

}  // namespace lorvane::screens
