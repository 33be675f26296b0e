// Every window on small and scaled displays: where a window is larger than the room its display
// gives it, it takes that room and its content scrolls, every control within reach; where it fits,
// it is exactly as large as on a large display, without scroll bars.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "shell/screen_map.h"
#include "ui/fonts.h"
#include "ui/form.h"

using lorvane::ui::Form;

namespace {

// What common laptop displays leave for a window's client area once the title bar and the
// taskbar are off, in logical pixels.
struct Area {
  const char* display;
  QSize room;
};
const Area kAreas[] = {
    {"1366x768", {1366, 698}},
    {"1920x1080 at 125 %", {1536, 794}},
    {"1920x1080 at 150 %", {1280, 650}},
};

// Every window gets this room while it lives, then its display's again.
class Room {
 public:
  explicit Room(QSize size) { Form::setRoom(size); }
  ~Room() { Form::setRoom({}); }
  Room(const Room&) = delete;
  Room& operator=(const Room&) = delete;
};

QString describe(const QWidget* w) {
  return QStringLiteral("%1 (%2) %3x%4 at %5,%6")
      .arg(w->objectName().isEmpty() ? QStringLiteral("unnamed") : w->objectName(), w->metaObject()->className())
      .arg(w->width())
      .arg(w->height())
      .arg(w->x())
      .arg(w->y());
}

QString text(QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

// Whether scrolling along one direction can show [from, to) whole in a view of `view` pixels or,
// where it is larger than the view, each part of it in turn.
bool reachable(int from, int to, int view, int scrollMax) {
  if (to - from > view) return from >= 0 && to <= scrollMax + view;
  return std::max(0, to - view) <= std::min(scrollMax, from);
}

// What keeps a shown window from fitting its room: the window larger than the room, a control
// outside what holds it (cut off), or, in a scrolling window, one the scroll bars cannot bring
// whole into view. Empty when all is well.
QStringList misfits(const Form& form, QSize room) {
  QStringList problems;
  if (form.width() > room.width() || form.height() > room.height())
    problems << QStringLiteral("window %1 larger than the room %2").arg(text(form.size()), text(room));
  const QScrollArea* scroll = form.scroller();
  const QWidget* content = scroll ? scroll->widget() : nullptr;
  if (scroll) {
    for (const QScrollBar* bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
      if (bar->maximum() > 0 && !bar->isVisibleTo(&form))
        problems << QStringLiteral("the content scrolls %1 px without a scroll bar").arg(bar->maximum());
  }
  std::function<void(const QWidget*)> walk = [&](const QWidget* parent) {
    for (const QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (w->isWindow() || !w->isVisibleTo(&form)) continue;
      if (w == scroll) {
        if (!form.rect().contains(w->geometry())) problems << describe(w) + " outside the window";
        walk(content);
        continue;
      }
      if (!parent->rect().contains(w->geometry()))
        problems << QStringLiteral("%1 cut off: outside %2").arg(describe(w), describe(parent));
      if (content && content->isAncestorOf(w)) {
        QRect r(w->mapTo(content, QPoint(0, 0)), w->size());
        if (const auto* label = qobject_cast<const QLabel*>(w))  // what it shows: its text, as aligned
          r = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                  label->sizeHint().boundedTo(label->contentsRect().size()), label->contentsRect())
                  .translated(r.topLeft());
        const QSize view = scroll->viewport()->size();
        // A button, field or label is read or worked whole: it must fit the view.
        const bool control = qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
                             qobject_cast<const QLabel*>(w);
        if ((control && (r.width() > view.width() || r.height() > view.height())) ||
            !reachable(r.left(), r.right() + 1, view.width(), scroll->horizontalScrollBar()->maximum()) ||
            !reachable(r.top(), r.bottom() + 1, view.height(), scroll->verticalScrollBar()->maximum()))
          problems << QStringLiteral("%1 cannot be scrolled into the view %2 (content %3)")
                          .arg(describe(w), text(view), text(content->size()));
      }
      if (!qobject_cast<const QAbstractScrollArea*>(w)) walk(w);  // not into a list's own view
    }
  };
  walk(&form);
  return problems;
}

class Fit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { lorvane::ui::useChineseFont(); }
  Fit() { lorvane::shell::addStandardScreens(map_); }

  // A window built and shown as the program shows it.
  std::unique_ptr<Form> show(const QString& name) {
    std::unique_ptr<Form> form(map_.build(name));
    if (!form) return form;
    if (name == QLatin1String("Mainfrm5"))  // as the axis menu opens it
      QMetaObject::invokeMethod(form.get(), "setTitle", Q_ARG(QString, QStringLiteral("X轴参数设定")));
    form->show();
    QApplication::processEvents();
    return form;
  }
  // The size a window has on a display large enough for it.
  QSize natural(const QString& name) {
    Room large(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    const std::unique_ptr<Form> form = show(name);
    return form ? form->size() : QSize();
  }
  // A window that fits its room is as on a large display. One that does not either scrolls,
  // taking the whole room in the direction it does not fit, or has made itself smaller (the
  // wiring diagram shrinks its drawing).
  static QStringList sizedAsItShould(const Form& form, QSize natural, QSize room) {
    QStringList problems;
    const bool fits = natural.width() <= room.width() && natural.height() <= room.height();
    if (fits && (form.scroller() || form.size() != natural))
      problems << QStringLiteral("fits at %1 but is %2%3")
                      .arg(text(natural), text(form.size()), form.scroller() ? " and scrolls" : "");
    if (!fits && form.scroller() &&
        ((natural.width() > room.width() && form.width() != room.width()) ||
         (natural.height() > room.height() && form.height() != room.height())))
      problems << QStringLiteral("scrolls at %1 without taking the room").arg(text(form.size()));
    return problems;
  }

  lorvane::shell::ScreenMap map_;
};

TEST_F(Fit, EveryWindowFitsTheLaptopDisplays) {
  QStringList problems;
  QHash<QString, QSize> naturals;
  for (const QString& name : lorvane::shell::formNames()) {
    naturals[name] = natural(name);
    ASSERT_TRUE(naturals[name].isValid()) << "no screen " << name.toStdString();
  }
  for (const Area& area : kAreas) {
    Room room(area.room);
    QStringList scrolling, smaller;
    for (const QString& name : lorvane::shell::formNames()) {
      const std::unique_ptr<Form> form = show(name);
      QStringList wrong = misfits(*form, area.room) + sizedAsItShould(*form, naturals[name], area.room);
      for (const QString& w : wrong) problems << QStringLiteral("%1 on %2: %3").arg(name, area.display, w);
      const QString change = QStringLiteral("%1 (%2 at %3)").arg(name, text(naturals[name]), text(form->size()));
      if (form->scroller()) scrolling << change;
      else if (form->size() != naturals[name]) smaller << change;
    }
    std::printf("%s, room %s: %lld windows scroll: %s; made smaller: %s\n", area.display,
                qPrintable(text(area.room)), static_cast<long long>(scrolling.size()), qPrintable(scrolling.join(", ")),
                qPrintable(smaller.join(", ")));
  }
  EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

// The display's own available area, as the platform reports it (a scaled display in logical
// pixels). LORVANE_FIT_DISPLAY=WxH says what the run expects it to be.
TEST_F(Fit, EveryWindowFitsTheDisplayItIsShownOn) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect area = screen->availableGeometry();
  if (const QString expected = qEnvironmentVariable("LORVANE_FIT_DISPLAY"); !expected.isEmpty()) {
    ASSERT_EQ(text(area.size()), expected) << "the display is not as the run set it up (scale "
                                           << qEnvironmentVariable("QT_SCALE_FACTOR").toStdString() << ")";
  }
  const QSize room = area.size().shrunkBy(Form::kFrameAllowance);
  QStringList problems, scrolling, smaller;
  for (const QString& name : lorvane::shell::formNames()) {
    const QSize full = natural(name);
    const std::unique_ptr<Form> form = show(name);
    ASSERT_TRUE(form) << name.toStdString();
    QStringList wrong = misfits(*form, room) + sizedAsItShould(*form, full, room);
    if (!area.contains(form->frameGeometry()))
      wrong << QStringLiteral("frame %1 at %2,%3 off the display").arg(text(form->frameGeometry().size()))
                   .arg(form->frameGeometry().x()).arg(form->frameGeometry().y());
    for (const QString& w : wrong) problems << QStringLiteral("%1: %2").arg(name, w);
    if (form->scroller()) scrolling << name;
    else if (form->size() != full) smaller << name;
  }
  std::printf("display %s (scale %s): %lld windows scroll: %s; made smaller: %s\n", qPrintable(text(area.size())),
              qPrintable(qEnvironmentVariable("QT_SCALE_FACTOR", "1")), static_cast<long long>(scrolling.size()),
              qPrintable(scrolling.join(", ")), qPrintable(smaller.join(", ")));
  EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

// Moved to a smaller display, a window is sized for it and kept on it; back on the large one it
// is as it was, its scroll bars gone.
TEST_F(Fit, AWindowFollowsTheDisplayItIsMovedTo) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2) GTEST_SKIP() << "one display only (the runs on a scaled pair of displays move windows)";
  QScreen* large = screens[0];
  QScreen* small = screens[1];
  const QSize largeRoom = large->availableGeometry().size().shrunkBy(Form::kFrameAllowance);
  const QSize smallRoom = small->availableGeometry().size().shrunkBy(Form::kFrameAllowance);
  const auto fits = [](QSize s, QSize room) { return s.width() <= room.width() && s.height() <= room.height(); };
  // The largest window that fits the large display but not the small one.
  QString name;
  QSize full;
  for (const QString& n : lorvane::shell::formNames())
    if (const QSize s = natural(n); fits(s, largeRoom) && !fits(s, smallRoom) && s.height() > full.height()) {
      name = n;
      full = s;
    }
  ASSERT_FALSE(name.isEmpty()) << "no window fits " << text(largeRoom).toStdString() << " but not "
                               << text(smallRoom).toStdString();
  SCOPED_TRACE(name.toStdString());
  const std::unique_ptr<Form> form = show(name);
  EXPECT_EQ(form->scroller(), nullptr);

  form->windowHandle()->setScreen(small);
  QApplication::processEvents();
  ASSERT_EQ(form->screen(), small);
  EXPECT_NE(form->scroller(), nullptr);
  EXPECT_TRUE(small->availableGeometry().contains(form->frameGeometry()))
      << text(form->frameGeometry().size()).toStdString() << " at " << form->frameGeometry().x() << "," << form->frameGeometry().y();
  const QStringList onSmall = misfits(*form, form->room()) + sizedAsItShould(*form, full, form->room());
  EXPECT_TRUE(onSmall.isEmpty()) << onSmall.join('\n').toStdString();

  form->windowHandle()->setScreen(large);
  QApplication::processEvents();
  EXPECT_EQ(form->size(), full);
  EXPECT_FALSE(form->scroller()->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(form->scroller()->verticalScrollBar()->isVisible());
  EXPECT_TRUE(misfits(*form, form->room()).isEmpty()) << misfits(*form, form->room()).join('\n').toStdString();
}

}  // namespace
