#include "ui/widgets.h"

#include <QMouseEvent>

#include "ui/colors.h"

namespace lorvane::ui {

namespace {
QString css(std::uint32_t c) { return bgr(c).name(); }
}  // namespace

void paint(QWidget* w, std::uint32_t background, std::uint32_t text) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, bgr(background));
  p.setColor(QPalette::Base, bgr(background));
  p.setColor(QPalette::WindowText, bgr(text));
  p.setColor(QPalette::Text, bgr(text));
  p.setColor(QPalette::Disabled, QPalette::Text, bgr(text));
  p.setColor(QPalette::Disabled, QPalette::Base, bgr(background));
  w->setPalette(p);
}

ValueField::ValueField(const QString& name, const QString& text, std::uint32_t background, bool editable,
                       QWidget* parent)
    : QLineEdit(text, parent), editable_(editable) {
  setObjectName(name);
  setEnabled(editable);
  setAlignment(Qt::AlignCenter);
  setMinimumWidth(70);
  setStyleSheet(QStringLiteral("QLineEdit { background-color: %1; color: %2; }").arg(css(background), css(Black)));
}

void ValueField::mousePressEvent(QMouseEvent* e) {
  emit clicked();
  QLineEdit::mousePressEvent(e);
}

CmdButton::CmdButton(const QString& name, const QString& caption, std::uint32_t colour, QWidget* parent)
    : QPushButton(caption, parent), normal_(colour), shown_(colour) {
  setObjectName(name);
  setColour(colour);
}

namespace {
// The same event as if the left button had been used.
QMouseEvent asLeftButton(const QMouseEvent* e) {
  return QMouseEvent(e->type(), e->position(), e->scenePosition(), e->globalPosition(), Qt::LeftButton,
                     e->type() == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton),
                     e->modifiers(), e->pointingDevice());
}
}  // namespace

void CmdButton::mousePressEvent(QMouseEvent* e) {
  if (!anyMouseButton_ || e->button() == Qt::LeftButton) return QPushButton::mousePressEvent(e);
  QMouseEvent left = asLeftButton(e);
  QPushButton::mousePressEvent(&left);
  e->setAccepted(left.isAccepted());
}

void CmdButton::mouseReleaseEvent(QMouseEvent* e) {
  if (!anyMouseButton_ || e->button() == Qt::LeftButton) return QPushButton::mouseReleaseEvent(e);
  QMouseEvent left = asLeftButton(e);
  QPushButton::mouseReleaseEvent(&left);
  e->setAccepted(left.isAccepted());
}

void CmdButton::setPending(bool pending) { setColour(pending ? Red : normal_); }

void CmdButton::setColour(std::uint32_t colour) {
  shown_ = colour;
  setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: 1px solid %3;"
                               " padding: 4px 10px; } QPushButton:disabled { color: %4; }")
                    .arg(css(colour), css(Black), css(DarkGrey), css(Grey)));
}

}  // namespace lorvane::ui
