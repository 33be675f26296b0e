#pragma once
// The controls every screen is built from, each carrying its control name as objectName.
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "ui/colors.h"

namespace lorvane::ui {

// A text field. Entry fields lock their value against refreshes when clicked.
class ValueField : public QLineEdit {
  Q_OBJECT
 public:
  ValueField(const QString& name, const QString& text, std::uint32_t background, bool editable,
             QWidget* parent = nullptr);
  // An entry the operator types into, or a display (which never takes input).
  bool isEntry() const { return editable_; }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* e) override;

 private:
  bool editable_;
};

// A button that draws its own colour and turns red while its command is pending.
class CmdButton : public QPushButton {
  Q_OBJECT
 public:
  CmdButton(const QString& name, const QString& caption, std::uint32_t colour, QWidget* parent = nullptr);
  void setPending(bool pending);
  void setColour(std::uint32_t colour);  // shown now, without changing the normal colour
  std::uint32_t normalColour() const { return normal_; }
  std::uint32_t shownColour() const { return shown_; }
  // A hold-to-run button is pressed and released with any mouse button, not only the left one.
  void setAnyMouseButton(bool any) { anyMouseButton_ = any; }

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool anyMouseButton_ = false;
  std::uint32_t normal_;
  std::uint32_t shown_;
};

// Style helpers for plain Qt widgets.
void paint(QWidget* w, std::uint32_t background, std::uint32_t text = Black);

}  // namespace lorvane::ui
