#pragma once
// A screen's controls as a table, the way its description lists them: name, kind, caption or
// initial text, colours, the group box it sits in and its line there, the room it takes and
// whether it is shown and takes input. One builder turns the table into widgets: each group (and
// the window) stacks its lines, and the controls of a line stand side by side in a grid, so that
// fields of lines alike line up. Nothing about a control is set after the build but what the
// controller or the operator changes.
#include <Qt>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "ui/colors.h"

namespace lorvane::ui {

class Form;

enum class Kind {
  Label,    // static text
  Heading,  // the screen's title line
  Entry,    // a field the operator types into
  Display,  // a field that only shows a value
  Button,
  Group,    // a group box; text: its caption
  List,     // an instruction list; `lines` are its lines
  Picture,  // a drawing; text: its vector file (a resource path), shown at the drawing's own size
  Stretch,  // a gap that takes what room is left in its line; alone on its line, the room below
};

// Made by the short forms below, which give each kind its usual colours.
struct Control {
  QString name = {};
  Kind kind = Kind::Label;
  QString text = {};
  QString group = {};  // "" for the window itself
  int line = 0;        // controls of one line stand side by side, lines top to bottom
  int span = 1;        // columns it takes in its line
  int rows = 1;        // lines it stands over, from its own down; those lines leave its columns to it
  std::uint32_t textColour = Black;  // labels, headings and group captions
  std::uint32_t background = Panel;  // behind a label or group; the face of a field, button or list
  bool enabled = true;               // takes input (a display never does)
  bool visible = true;
  QStringList lines = {};    // a list's lines
  Qt::Alignment align = {};  // a label's text in its cell (left and vertically centred by default); a picture in its cell
  bool bold = false;
  double size = 1.0;  // its font, times the usual size
  QString room = {};  // a label whose text changes: at least as wide as this text
  QSize least = {};   // its least size, where the layout would give it less
  int fewestLines = 0;  // a list shown this many lines high at least and `mostLines` at most, scrolling
  int mostLines = 0;    // the rest; 0: every line shown
};
using Controls = QList<Control>;

// Short forms for table rows.
Control heading(const QString& name, const QString& text, const QString& group = {}, int line = 0,
                std::uint32_t colour = Blue);
Control label(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour = Black);
Control entry(const QString& name, const QString& text, const QString& group, int line);
Control display(const QString& name, const QString& text, const QString& group, int line, std::uint32_t background = Red);
Control button(const QString& name, const QString& caption, std::uint32_t colour, const QString& group, int line);
Control group(const QString& name, const QString& caption, const QString& parent, int line, std::uint32_t captionColour = Black,
              std::uint32_t background = Panel);
Control stretch(const QString& group = {}, int line = 0);
Control instructionList(const QString& name, const QStringList& lines, const QString& group, int line = 0);
// A drawing at the top of its cell.
Control picture(const QString& name, const QString& file, const QString& group, int line);
// The group "本界面操作说明" with its instruction list List1, shown whole, standing over `rows`
// lines of its parent.
Controls instructions(const QString& frame, const QStringList& lines, const QString& parent, int line, int rows = 1);

// The same control in bold, its font `size` times the usual.
Control bold(Control c, double size = 1.0);
// The same control, its font `size` times the usual.
Control sized(Control c, double size);
// The same label with its text aligned so in its cell.
Control aligned(Control c, Qt::Alignment align);
// The same control over `columns` columns of its line.
Control spanning(Control c, int columns);
// The same control standing over `lines` lines, its own and those below it.
Control overLines(Control c, int lines);
// The same label on this background.
Control filled(Control c, std::uint32_t background);
// The same label, wide enough for `text` whatever it shows.
Control roomFor(Control c, const QString& text);
// The same control, never smaller than `size`.
Control atLeast(Control c, QSize size);
// The same list between `fewest` and `most` lines high, scrolling through the rest.
Control scrolling(Control c, int fewest, int most);
// The same control taking no input until the screen enables it.
Control disabled(Control c);
// The same control, not shown.
Control hidden(Control c);

// Builds the table into the form. Every name becomes the control's objectName.
void build(Form& form, const Controls& controls);

}  // namespace lorvane::ui
