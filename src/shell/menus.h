#pragma once
// The two menus and the wiring diagram: windows without a port of their own.
#include "ui/form.h"

namespace lorvane::shell {

// Axis parameter menu: one button per axis, and the way back.
class AxisMenu : public ui::Form {
  Q_OBJECT
 public:
  AxisMenu();
  bool load() override;
};

// System function test menu: axis debugging pages, manual jog, input and output tests.
class TestMenu : public ui::Form {
  Q_OBJECT
 public:
  TestMenu();
  bool load() override;
};

// The wiring diagram.
class WiringDiagram : public ui::Form {
  Q_OBJECT
 public:
  WiringDiagram();
  bool load() override;
};

}  // namespace lorvane::shell
