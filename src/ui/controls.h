#pragma once
// A screen's controls as a table, the way its description lists them: name, kind, caption or
// initial text, colour, the group box it sits in and its line there. One builder turns the table
// into widgets: each group (and the window) stacks its lines, and the controls of a line stand
// side by side in a grid, so that fields of lines alike line up.
#include <Qt>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "ui/colors.h"

namespace lorvane::ui {

class Form;

enum class Kind {
  Label,    // static text; colour: its text
  Heading,  // the screen's title line; colour: its text
  Entry,    // a field the operator types into (cyan)
  Display,  // a field that only shows a value; colour: its background
  Button,   // colour: its normal colour
  Group,    // a group box; text: its caption; colour: the caption's text
  List,     // an instruction list; `lines` are its lines
  Stretch,  // a gap that takes what room is left in its line; alone on its line, the room below
};

struct Control {
  QString name = {};
  Kind kind = Kind::Label;
  QString text = {};
  std::uint32_t colour = 0;  // see Kind; 0 is black text, or the kind's usual colour
  QString group = {};        // "" for the window itself
  int line = 0;              // controls of one line stand side by side, lines top to bottom
  int span = 1;              // columns it takes in its line
  QStringList lines = {};    // a list's lines
  std::uint32_t background = Panel;  // a group's background
  Qt::Alignment align = {};  // a label's text in its cell; left and vertically centred by default
  bool bold = false;
  double size = 1.0;  // its font, times the usual size
};
using Controls = QList<Control>;

// Short forms for table rows.
Control heading(const QString& name, const QString& text, const QString& group = {}, int line = 0,
                std::uint32_t colour = Blue);
Control label(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour = 0);
Control entry(const QString& name, const QString& text, const QString& group, int line);
Control display(const QString& name, const QString& text, const QString& group, int line, std::uint32_t background = Red);
Control button(const QString& name, const QString& caption, std::uint32_t colour, const QString& group, int line);
Control group(const QString& name, const QString& caption, const QString& parent, int line, std::uint32_t captionColour = 0,
              std::uint32_t background = Panel);
Control stretch(const QString& group = {}, int line = 0);
Control instructionList(const QString& name, const QStringList& lines, const QString& group, int line = 0);
// The group "本界面操作说明" with its instruction list List1, shown whole.
Controls instructions(const QString& frame, const QStringList& lines, const QString& parent, int line);

// The same control in bold, its font `size` times the usual.
Control bold(Control c, double size = 1.0);
// The same label with its text aligned so in its cell.
Control aligned(Control c, Qt::Alignment align);
// The same control over `columns` columns of its line.
Control spanning(Control c, int columns);

// Builds the table into the form. Every name becomes the control's objectName.
void build(Form& form, const Controls& controls);

}  // namespace lorvane::ui
