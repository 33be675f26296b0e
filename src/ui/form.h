#pragma once
// A window of the program: its form name as objectName, the title "Lorvane", the panel colour,
// centred on the display when shown, and builders for the controls of a screen.
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
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

  // Runs when the screen is loaded, before it is shown. False: the screen cannot run.
  virtual bool load() { return true; }
  // Runs before the screen is unloaded or hidden for another: releases what it holds. False when
  // a hold-to-run coil may still be on (its OFF did not get through).
  virtual bool leave() { return true; }
  void centre();

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
  QLabel* label(const QString& name, const QString& text, std::uint32_t textColour = 0x000000);
  QLabel* heading(const QString& name, const QString& text, std::uint32_t textColour = Blue);
  ValueField* entry(const QString& name, const QString& text);    // cyan, editable
  ValueField* display(const QString& name, const QString& text, std::uint32_t background = Red);
  CmdButton* button(const QString& name, const QString& caption, std::uint32_t colour);
  QGroupBox* group(const QString& name, const QString& caption = QString(), std::uint32_t captionColour = 0x000000,
                   std::uint32_t background = Panel);
  QListWidget* instructions(const QString& name, const QStringList& lines);
  // The instruction group "本界面操作说明" with its list.
  QGroupBox* instructionGroup(const QString& frameName, const QStringList& lines);

 signals:
  void closing();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  bool centred_ = false;
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
