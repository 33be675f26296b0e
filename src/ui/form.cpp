#include "ui/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace lorvane::ui {

namespace {
// A group box never narrower than its caption.
class CaptionGroup : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;
  QSize minimumSizeHint() const override { return widen(QGroupBox::minimumSizeHint()); }
  QSize sizeHint() const override { return widen(QGroupBox::sizeHint()); }

 private:
  QSize widen(QSize s) const {
    if (!title().isEmpty()) s.setWidth(std::max(s.width(), fontMetrics().horizontalAdvance(title()) + 24));
    return s;
  }
};
}  // namespace

Form::Form(const QString& formName, QWidget* parent) : QWidget(parent) {
  setObjectName(formName);
  setWindowTitle(QStringLiteral("Lorvane"));
  paint(this, Panel);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

Form::Busy::Busy(QWidget* widget) : form_(widget ? qobject_cast<Form*>(widget->window()) : nullptr) {
  if (form_) ++form_->busy_;
}

Form::Busy::~Busy() {
  if (form_ && --form_->busy_ == 0 && form_->retired_) form_->deleteLater();
}

void Form::retire() {
  hide();
  if (retired_) return;
  retired_ = true;
  if (busy_ == 0) {
    deleteLater();
    return;
  }
  for (QMessageBox* box : findChildren<QMessageBox*>())
    if (box->isVisible()) box->done(QMessageBox::Cancel);
}

void Form::centre() {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  adjustSize();
  const QRect area = s->availableGeometry();
  const QSize size = frameGeometry().size();
  move(area.x() + static_cast<int>(std::nearbyint((area.width() - size.width()) / 2.0)),
       area.y() + static_cast<int>(std::nearbyint((area.height() - size.height()) / 2.0)));
}

void Form::showEvent(QShowEvent* e) {
  if (!centred_) {
    centred_ = true;
    centre();
  }
  QWidget::showEvent(e);
}

void Form::closeEvent(QCloseEvent* e) {
  emit closing();
  e->accept();
}

QLabel* Form::label(const QString& name, const QString& text, std::uint32_t textColour) {
  auto* l = new QLabel(text, this);
  l->setObjectName(name);
  paint(l, Panel, textColour);
  return l;
}

QLabel* Form::heading(const QString& name, const QString& text, std::uint32_t textColour) {
  QLabel* l = label(name, text, textColour);
  QFont f = l->font();
  f.setPointSizeF(f.pointSizeF() * 1.6);
  f.setBold(true);
  l->setFont(f);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

ValueField* Form::entry(const QString& name, const QString& text) {
  return new ValueField(name, text, Cyan, true, this);
}

ValueField* Form::display(const QString& name, const QString& text, std::uint32_t background) {
  return new ValueField(name, text, background, false, this);
}

CmdButton* Form::button(const QString& name, const QString& caption, std::uint32_t colour) {
  return new CmdButton(name, caption, colour, this);
}

QGroupBox* Form::group(const QString& name, const QString& caption, std::uint32_t captionColour,
                       std::uint32_t background) {
  auto* g = new CaptionGroup(caption, this);
  g->setObjectName(name);
  g->setStyleSheet(QStringLiteral("QGroupBox#%1 { background-color: %2; border: 1px solid #808080;"
                                  " margin-top: 1.2em; padding-top: 0.4em; }"
                                  " QGroupBox#%1::title { subcontrol-origin: margin; left: 8px; color: %3; }")
                       .arg(name, bgr(background).name(), bgr(captionColour).name()));
  return g;
}

QListWidget* Form::instructions(const QString& name, const QStringList& lines) {
  auto* l = new QListWidget(this);
  l->setObjectName(name);
  l->addItems(lines);
  paint(l, Cyan);
  l->setStyleSheet(QStringLiteral("QListWidget { background-color: %1; }").arg(bgr(Cyan).name()));
  l->setMinimumWidth(300);
  return l;
}

QGroupBox* Form::instructionGroup(const QString& frameName, const QStringList& lines) {
  QGroupBox* g = group(frameName, QStringLiteral("本界面操作说明"), Red);
  auto* v = new QVBoxLayout(g);
  v->addWidget(instructions(QStringLiteral("List1"), lines));
  return g;
}

QListWidget* showAllLines(QListWidget* list) {
  int widest = 0;
  for (int i = 0; i < list->count(); ++i)
    widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->item(i)->text()));
  list->setMinimumSize(widest + 2 * list->frameWidth() + 16,
                       (list->count() + 1) * list->sizeHintForRow(0) + 2 * list->frameWidth());
  return list;
}

bool askOkCancel(QWidget* parent, const QString& title, const QString& text) {
  Form::Busy busy(parent);
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("question"));
  return box.exec() == QMessageBox::Ok;
}

void showMessage(QWidget* parent, const QString& text) {
  Form::Busy busy(parent);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lorvane"), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("message"));
  box.exec();
}

}  // namespace lorvane::ui
