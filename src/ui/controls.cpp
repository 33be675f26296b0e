#include "ui/controls.h"

#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QSpacerItem>
#include <utility>

#include "ui/form.h"

namespace lorvane::ui {

Control heading(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour) {
  return {.name = name, .kind = Kind::Heading, .text = text, .colour = colour, .group = group, .line = line};
}
Control label(const QString& name, const QString& text, const QString& group, int line, std::uint32_t colour) {
  return {.name = name, .kind = Kind::Label, .text = text, .colour = colour, .group = group, .line = line};
}
Control entry(const QString& name, const QString& text, const QString& group, int line) {
  return {.name = name, .kind = Kind::Entry, .text = text, .colour = Cyan, .group = group, .line = line};
}
Control display(const QString& name, const QString& text, const QString& group, int line, std::uint32_t background) {
  return {.name = name, .kind = Kind::Display, .text = text, .colour = background, .group = group, .line = line};
}
Control button(const QString& name, const QString& caption, std::uint32_t colour, const QString& group, int line) {
  return {.name = name, .kind = Kind::Button, .text = caption, .colour = colour, .group = group, .line = line};
}
Control group(const QString& name, const QString& caption, const QString& parent, int line, std::uint32_t captionColour,
              std::uint32_t background) {
  return {.name = name, .kind = Kind::Group, .text = caption, .colour = captionColour, .group = parent, .line = line,
          .background = background};
}
Control stretch(const QString& group, int line) { return {.kind = Kind::Stretch, .group = group, .line = line}; }
Control instructionList(const QString& name, const QStringList& lines, const QString& group, int line) {
  return {.name = name, .kind = Kind::List, .group = group, .line = line, .lines = lines};
}
Controls instructions(const QString& frame, const QStringList& lines, const QString& parent, int line) {
  return {group(frame, QStringLiteral("本界面操作说明"), parent, line, Red),
          instructionList(QStringLiteral("List1"), lines, frame)};
}
Control bold(Control c, double size) {
  c.bold = true;
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

namespace {
constexpr int kGap = 12;

void setFont(QWidget* w, const Control& c) {
  if (!c.bold && c.size == 1.0) return;
  QFont f = w->font();
  f.setBold(f.bold() || c.bold);
  f.setPointSizeF(f.pointSizeF() * c.size);
  w->setFont(f);
}
}  // namespace

void build(Form& form, const Controls& controls) {
  // Columns each line takes, and the widest line of each container: a control alone on its
  // line spans the whole width.
  QHash<QString, QHash<int, int>> columns;
  QHash<QString, int> widest;
  for (const Control& c : controls) {
    int& n = columns[c.group][c.line];
    n += c.span;
    widest[c.group] = std::max(widest.value(c.group), n);
  }
  QHash<QString, QGridLayout*> grids;
  QHash<QString, QHash<int, int>> placed;
  const auto gridOf = [&](const QString& container) -> QGridLayout* {
    if (QGridLayout* g = grids.value(container)) return g;
    QWidget* owner = container.isEmpty() ? static_cast<QWidget*>(&form) : form.findChild<QWidget*>(container);
    Q_ASSERT_X(owner, "build", qPrintable(QStringLiteral("no group %1").arg(container)));
    auto* g = new QGridLayout(owner);
    grids.insert(container, g);
    return g;
  };
  for (const Control& c : controls) {
    QGridLayout* grid = gridOf(c.group);
    QWidget* w = nullptr;
    switch (c.kind) {
      case Kind::Label: w = form.label(c.name, c.text, c.colour); break;
      case Kind::Heading: w = form.heading(c.name, c.text, c.colour); break;
      case Kind::Entry: w = form.entry(c.name, c.text); break;
      case Kind::Display: w = form.display(c.name, c.text, c.colour ? c.colour : Red); break;
      case Kind::Button: w = form.button(c.name, c.text, c.colour); break;
      case Kind::Group: w = form.group(c.name, c.text, c.colour, c.background); break;
      case Kind::List: w = showAllLines(form.instructions(c.name, c.lines)); break;
      case Kind::Stretch: break;
    }
    if (w) setFont(w, c);
    if (auto* l = qobject_cast<QLabel*>(w); l && c.align)
      l->setAlignment(c.align & Qt::AlignVertical_Mask ? c.align : c.align | Qt::AlignVCenter);
    int& column = placed[c.group][c.line];
    const bool alone = columns[c.group][c.line] == c.span;
    const int span = alone ? std::max(c.span, widest.value(c.group)) : c.span;
    if (w) grid->addWidget(w, c.line, column, 1, span);
    else  // at least a gap between its neighbours
      grid->addItem(new QSpacerItem(kGap, 0, QSizePolicy::MinimumExpanding, alone ? QSizePolicy::Expanding : QSizePolicy::Minimum),
                    c.line, column, 1, span);
    column += span;
  }
}

}  // namespace lorvane::ui
