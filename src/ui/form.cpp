#include "ui/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmapCache>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QVBoxLayout>
#include <QWindow>
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
  static const bool bounded = [] {
    QPixmapCache::setCacheLimit(kStylePixmapsKb);
    return true;
  }();
  Q_UNUSED(bounded);
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

namespace {
QSize roomOverride;  // set by Form::setRoom

// The frame the window manager puts around a shown window, when it is known.
QMargins frameOf(const QWidget& w) {
  const QRect outer = w.frameGeometry(), inner = w.geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}
}  // namespace

void Form::setRoom(QSize clientArea) { roomOverride = clientArea; }

QSize Form::room() const {
  if (!roomOverride.isEmpty()) return roomOverride;
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // Before the window manager has framed the window its frame is not known: allow for a title bar.
  const QMargins known = frameOf(*this);
  const QMargins frame = isVisible() && known.top() > 0 ? known : kFrameAllowance;
  return s->availableGeometry().size().shrunkBy(frame).expandedTo(QSize(1, 1));
}

void Form::fit() {
  if (!scroller_) {
    adjustSize();  // the size the layout gives the window
    if (width() <= room().width() && height() <= room().height()) return;
    natural_ = size();
    scrollContent();
  }
  // The whole room in the direction that does not fit, the full size in the other, plus a
  // scroll bar's width where the content scrolls.
  const QSize room = this->room();
  const int bar = scroller_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
  bool down = natural_.height() > room.height();
  const bool across = natural_.width() + (down ? bar : 0) > room.width();
  down = down || natural_.height() + (across ? bar : 0) > room.height();
  resize(QSize(natural_.width() + (down ? bar : 0), natural_.height() + (across ? bar : 0)).boundedTo(room));
}

// Moves the form's layout, with the controls it holds, into a scroll area filling the window. The
// content keeps the size it had, so that it is laid out as it was and scrolls instead of shrinking.
void Form::scrollContent() {
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("FormContent"));
  if (QLayout* l = layout()) content->setLayout(l);  // takes the layout's controls along
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isWindow()) continue;  // a message box of the form
    // A control placed by hand, outside the layout: it goes along, at the same place.
    const bool hidden = w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
    const QPoint at = w->pos();
    w->setParent(content);
    w->move(at);
    w->setVisible(!hidden);
  }
  content->setMinimumSize(natural_);
  scroller_ = new QScrollArea(this);
  scroller_->setObjectName(QStringLiteral("FormScroll"));
  scroller_->setFrameShape(QFrame::NoFrame);
  scroller_->setWidgetResizable(true);
  scroller_->setWidget(content);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  v->addWidget(scroller_);
  v->activate();  // the window's least size is now the scroll area's, no longer the content's
}

void Form::centre() {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  fit();
  const QRect area = s->availableGeometry();
  const QSize size = frameGeometry().size();
  // Centred; where the window is as large as the display, its title bar stays on the display.
  move(std::max(area.x(), area.x() + static_cast<int>(std::nearbyint((area.width() - size.width()) / 2.0))),
       std::max(area.y(), area.y() + static_cast<int>(std::nearbyint((area.height() - size.height()) / 2.0))));
}

// On another display the window is sized for that one and kept on it.
void Form::followScreen() {
  const QScreen* s = screen();
  if (!s || !isVisible()) return;
  fit();
  const QRect area = s->availableGeometry();
  const QRect frame = frameGeometry();
  move(std::clamp(frame.x(), area.x(), std::max(area.x(), area.right() + 1 - frame.width())),
       std::clamp(frame.y(), area.y(), std::max(area.y(), area.bottom() + 1 - frame.height())));
}

void Form::setVisible(bool visible) {
  if (visible && !centred_ && isWindow()) {
    centred_ = true;
    centre();
  }
  QWidget::setVisible(visible);
  if (visible && !watchingScreen_ && windowHandle()) {
    watchingScreen_ = true;
    connect(windowHandle(), &QWindow::screenChanged, this, &Form::followScreen);
  }
}

void Form::closeEvent(QCloseEvent* e) {
  emit closing();
  e->accept();
}

QLabel* Form::label(const QString& name, const QString& text, std::uint32_t textColour, std::uint32_t background) {
  auto* l = new QLabel(text, this);
  l->setObjectName(name);
  paint(l, background, textColour);
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
  g->setStyleSheet(QStringLiteral("QGroupBox#%1 { background-color: %2; border: 1px solid %4;"
                                  " margin-top: 1.2em; padding-top: 0.4em; }"
                                  " QGroupBox#%1::title { subcontrol-origin: margin; left: 8px; color: %3; }")
                       .arg(name, bgr(background).name(), bgr(captionColour).name(), bgr(Grey).name()));
  return g;
}

QListWidget* Form::instructions(const QString& name, const QStringList& lines) {
  auto* l = new QListWidget(this);
  l->setObjectName(name);
  l->addItems(lines);
  // The palette alone gives it its colour. With a style sheet of its own, Qt's style-sheet style
  // kept about a kilobyte for every window with instructions ever shown, not freed with the window
  // (its caches of rules; Qt 6.4).
  paint(l, Cyan);
  l->setMinimumWidth(300);
  return l;
}

QWidget* Form::picture(const QString& name, const QString& file) {
  auto* p = new QSvgWidget(file, this);
  p->setObjectName(name);
  const QSize size = p->renderer()->defaultSize();
  p->setFixedSize(size.isValid() ? size : QSize(280, 210));
  return p;
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
