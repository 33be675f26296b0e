#pragma once
// A window of the program: its form name as objectName, the title "Lorvane", the panel colour,
// fitted to and centred on the display when shown, and builders for the controls of a screen.
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMargins>
#include <QScrollArea>
#include <QStringList>
#include <QWidget>
#include <cstdint>

#include "ui/colors.h"
#include "ui/widgets.h"

namespace lorvane::ui {

class Form : public QWidget {
  Q_OBJECT
 public:
  explicit Form(const QString& formName, QWidget* parent = nullptr);

  // The bound of Qt's cache of drawn pieces (scroll bars, frames), set when the first window is
  // made. The cache keys them by the palette of the widget drawn, and every window the program
  // opens has palettes of its own: without a bound it fills for as long as screens change, up to
  // Qt's default of 10 MB, with pieces of windows long closed. What one window needs is far less.
  static constexpr int kStylePixmapsKb = 1024;

  // Runs when the screen is loaded, before it is shown. False: the screen cannot run.
  virtual bool load() { return true; }
  // Runs before the screen is unloaded or hidden for another: releases what it holds. False when
  // a hold-to-run coil may still be on (its OFF did not get through).
  virtual bool leave() { return true; }

  // Sizing on the display. A window takes the size its layout gives it when that fits the room
  // it has on the display it is shown on. Where it does not (a small laptop display, a display
  // scaled to 125 % or 150 %), the window takes the whole room and its content scrolls inside it,
  // laid out exactly as at full size, so that every button stays within reach.
  //
  // The client area (inside title bar and borders) the window may take: the available area of
  // its display (without taskbar) less the window frame.
  QSize room() const;
  // Makes every window take this client area in place of its display's: pictures of the screens
  // at a given display size, and tests. An empty size goes back to the display's.
  static void setRoom(QSize clientArea);
  // The frame allowed for while the window manager's own is not known: title bar and borders.
  static constexpr QMargins kFrameAllowance{4, 32, 4, 4};
  // Sizes the window to its room (scrolling its content if need be) and centres it on the display.
  // Runs when the window is first shown; when it moves to another display it is sized again.
  void centre();
  // The area the content scrolls in while the window does not fit its room; null when it never
  // had to. Its widget holds the form's layout and controls.
  QScrollArea* scroller() const { return scroller_; }
  void setVisible(bool visible) override;

  // Code of the form that may let events run (a message box, a wait) holds it busy: the form is
  // not deleted under it.
  class Busy {
   public:
    explicit Busy(QWidget* widget);
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    Form* form_;
  };
  // Unloaded: hidden now, deleted once none of its code is on the stack any more. Message boxes
  // it still shows are closed.
  void retire();
  bool isRetired() const { return retired_; }

  template <typename T = QWidget>
  T* control(const QString& name) const { return findChild<T*>(name); }

  // Builders. Each control gets its name as objectName.
  QLabel* label(const QString& name, const QString& text, std::uint32_t textColour = Black,
                std::uint32_t background = Panel);
  QLabel* heading(const QString& name, const QString& text, std::uint32_t textColour = Blue);
  ValueField* entry(const QString& name, const QString& text);    // cyan, editable
  ValueField* display(const QString& name, const QString& text, std::uint32_t background = Red);
  CmdButton* button(const QString& name, const QString& caption, std::uint32_t colour);
  QGroupBox* group(const QString& name, const QString& caption = QString(), std::uint32_t captionColour = Black,
                   std::uint32_t background = Panel);
  QListWidget* instructions(const QString& name, const QStringList& lines);
  // A drawing from the vector file `file`, at the drawing's own size and proportions.
  QWidget* picture(const QString& name, const QString& file);

 signals:
  void closing();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void fit();
  void scrollContent();
  void followScreen();

  bool centred_ = false;
  bool watchingScreen_ = false;
  QScrollArea* scroller_ = nullptr;
  QSize natural_;  // the size the layout gives the window, kept once its content scrolls
  int busy_ = 0;
  bool retired_ = false;
};

// Sizes a list so that every line shows whole, without scrolling.
QListWidget* showAllLines(QListWidget* list);

// A modal message with an OK button and the program's title.
void showMessage(QWidget* parent, const QString& text);
// A modal question with OK and Cancel; true for OK.
bool askOkCancel(QWidget* parent, const QString& title, const QString& text);

}  // namespace lorvane::ui
