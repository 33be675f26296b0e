#include "ui/controls.h"

#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QSet>
#include <QSpacerItem>
#include <algorithm>
#include <numeric>

#include "ui/form.h"

namespace lorvane::ui {

Control heading(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour) {
  return {.name = name, .kind = Kind::Heading, .text = text, .group = group, .line = line, .textColour = colour};
}
Control label(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour) {
  return {.name = name, .kind = Kind::Label, .text = text, .group = group, .line = line, .textColour = colour};
}
Control entry(const QString& name, const QString& text, const QString& group, int line) {
  return {.name = name, .kind = Kind::Entry, .text = text, .group = group, .line = line, .background = Cyan};
}
Control display(const QString& name, const QString& text, const QString& group, int line, std::uint32_t background) {
  return {.name = name, .kind = Kind::Display, .text = text, .group = group, .line = line, .background = background};
}
Control button(const QString& name, const QString& caption, std::uint32_t colour, const QString& group, int line) {
  return {.name = name, .kind = Kind::Button, .text = caption, .group = group, .line = line, .background = colour};
}
Control group(const QString& name, const QString& caption, const QString& parent, int line, std::uint32_t captionColour,
              std::uint32_t background) {
  return {.name = name, .kind = Kind::Group, .text = caption, .group = parent, .line = line,
          .textColour = captionColour, .background = background};
}
Control stretch(const QString& group, int line) { return {.kind = Kind::Stretch, .group = group, .line = line}; }
Control instructionList(const QString& name, const QStringList& lines, const QString& group, int line) {
  return {.name = name, .kind = Kind::List, .group = group, .line = line, .background = Cyan, .lines = lines};
}
Control picture(const QString& name, const QString& file, const QString& group, int line) {
  return {.name = name, .kind = Kind::Picture, .text = file, .group = group, .line = line, .align = Qt::AlignTop};
}
Controls instructions(const QString& frame, const QStringList& lines, const QString& parent, int line, int rows) {
  return {overLines(group(frame, QStringLiteral("本界面操作说明"), parent, line, Red), rows),
          instructionList(QStringLiteral("List1"), lines, frame)};
}
Control bold(Control c, double size) {
  c.bold = true;
  return sized(c, size);
}
Control sized(Control c, double size) {
  c.size = size;
  return c;
}
Control aligned(Control c, Qt::Alignment align) {
  c.align = align;
  return c;
}
Control spanning(Control c, int columns) {
  c.span = columns;
  return c;
}
Control overLines(Control c, int lines) {
  c.rows = lines;
  return c;
}
Control filled(Control c, std::uint32_t background) {
  c.background = background;
  return c;
}
Control roomFor(Control c, const QString& text) {
  c.room = text;
  return c;
}
Control atLeast(Control c, QSize size) {
  c.least = size;
  return c;
}
Control scrolling(Control c, int fewest, int most) {
  c.fewestLines = fewest;
  c.mostLines = most;
  return c;
}
Control disabled(Control c) {
  c.enabled = false;
  return c;
}
Control hidden(Control c) {
  c.visible = false;
  return c;
}

namespace {
constexpr int kGap = 12;

void setFont(QWidget* w, const Control& c) {
  if (!c.bold && c.size == 1.0) return;
  QFont f = w->font();
  f.setBold(f.bold() || c.bold);
  f.setPointSizeF(f.pointSizeF() * c.size);
  w->setFont(f);
}

QWidget* make(Form& form, const Control& c) {
  switch (c.kind) {
    case Kind::Label: return form.label(c.name, c.text, c.textColour, c.background);
    case Kind::Heading: return form.heading(c.name, c.text, c.textColour);
    case Kind::Entry: return form.entry(c.name, c.text);
    case Kind::Display: return form.display(c.name, c.text, c.background);
    case Kind::Button: return form.button(c.name, c.text, c.background);
    case Kind::Group: return form.group(c.name, c.text, c.textColour, c.background);
    case Kind::List: return form.instructions(c.name, c.lines);
    case Kind::Picture: return form.picture(c.name, c.text);
    case Kind::Stretch: return nullptr;
  }
  return nullptr;
}

// Where a control stands in its container's grid.
struct Cell {
  int column = 0;
  int span = 1;
  bool alone = false;  // the only control of its line
};

// Line by line, each control takes the next columns its line has free: a control over several
// lines keeps its columns in the lines below it. A control alone on its line takes the whole
// width its line leaves free, as wide as the widest line.
QList<Cell> place(const Controls& controls) {
  QList<qsizetype> order(controls.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return controls[a].line < controls[b].line; });
  QHash<QString, QHash<int, int>> declared;     // controls declared on each line of a container
  QHash<QString, QHash<int, QSet<int>>> taken;  // columns taken on each line
  for (const Control& c : controls) ++declared[c.group][c.line];
  QList<Cell> cells(controls.size());
  for (qsizetype i : order) {
    const Control& c = controls[i];
    QSet<int>& line = taken[c.group][c.line];
    int column = 0;
    const auto fits = [&](int at) {
      for (int k = at; k < at + c.span; ++k)
        if (line.contains(k)) return false;
      return true;
    };
    while (!fits(column)) ++column;
    for (int r = c.line; r < c.line + c.rows; ++r)
      for (int k = column; k < column + c.span; ++k) taken[c.group][r].insert(k);
    cells[i] = {.column = column, .span = c.span, .alone = declared[c.group][c.line] == 1};
  }
  QHash<QString, int> widest;
  for (auto g = taken.cbegin(); g != taken.cend(); ++g)
    for (const QSet<int>& line : g.value()) widest[g.key()] = std::max(widest.value(g.key()), int(line.size()));
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const Control& c = controls[i];
    if (!cells[i].alone) continue;
    const int free = widest.value(c.group) - int(taken[c.group][c.line].size()) + c.span;
    cells[i].span = std::max(c.span, free);
  }
  return cells;
}
}  // namespace

void build(Form& form, const Controls& controls) {
  const QList<Cell> cells = place(controls);
  QHash<QString, QGridLayout*> grids;
  const auto gridOf = [&](const QString& container) -> QGridLayout* {
    if (QGridLayout* g = grids.value(container)) return g;
    QWidget* owner = container.isEmpty() ? static_cast<QWidget*>(&form) : form.findChild<QWidget*>(container);
    Q_ASSERT_X(owner, "build", qPrintable(QStringLiteral("no group %1").arg(container)));
    auto* g = new QGridLayout(owner);
    grids.insert(container, g);
    return g;
  };
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const Control& c = controls[i];
    const Cell& at = cells[i];
    QGridLayout* grid = gridOf(c.group);
    // The lines below a control over several lines keep a gap in its columns, so that those
    // columns, not the controls beside it, take what room is left.
    for (int r = c.line + 1; r < c.line + c.rows; ++r)
      for (int k = at.column; k < at.column + at.span; ++k)
        grid->addItem(new QSpacerItem(kGap, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum), r, k);
    QWidget* w = make(form, c);
    if (!w) {  // at least a gap between its neighbours
      grid->addItem(new QSpacerItem(kGap, 0, QSizePolicy::MinimumExpanding, at.alone ? QSizePolicy::Expanding : QSizePolicy::Minimum),
                    c.line, at.column, c.rows, at.span);
      continue;
    }
    setFont(w, c);
    if (!c.room.isEmpty()) w->setMinimumWidth(w->fontMetrics().horizontalAdvance(c.room) + 16);
    if (!c.least.isEmpty()) w->setMinimumSize(c.least);
    auto* list = qobject_cast<QListWidget*>(w);
    if (list) showAllLines(list);  // in the font it has
    if (auto* l = qobject_cast<QLabel*>(w); l && c.align)
      l->setAlignment(c.align & Qt::AlignVertical_Mask ? c.align : c.align | Qt::AlignVCenter);
    if (!c.enabled) w->setEnabled(false);
    if (!c.visible) w->setVisible(false);
    grid->addWidget(w, c.line, at.column, c.rows, at.span, c.kind == Kind::Picture ? c.align : Qt::Alignment());
    if (list && c.mostLines > 0) {  // lines as high as they are in their group
      list->setMinimumHeight(list->sizeHintForRow(0) * c.fewestLines);
      list->setMaximumHeight(list->sizeHintForRow(0) * c.mostLines);
    }
  }
}

}  // namespace lorvane::ui
