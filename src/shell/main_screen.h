#pragma once
// The main screen: port selection, the production count, and the way to every working area.
#include "ui/screen.h"

namespace lorvane::shell {

class MainScreen : public ui::Screen {
  Q_OBJECT
 public:
  MainScreen();
  // At start the port is closed; back from another screen it reopens the port by itself.
  bool load() override;

 signals:
  // The port could not be opened and the operator has been told: the program ends.
  void endProgram();

 private:
  void openClicked();
  void setPortOpen(bool open);
};

}  // namespace lorvane::shell
