// The builder of control tables: where a control lands in its group's grid when another stands over
// several lines, how far a control alone on its line reaches, and the states the table gives.
#include <gtest/gtest.h>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

#include "ui/controls.h"
#include "ui/form.h"

using namespace lorvane::ui;

namespace {

struct Cell {
  int line, column, lines, columns;
  bool operator==(const Cell&) const = default;
};

Cell cellOf(const Form& form, const QString& name) {
  QWidget* w = form.control(name);
  auto* grid = qobject_cast<QGridLayout*>(w->parentWidget()->layout());
  Cell c{};
  grid->getItemPosition(grid->indexOf(w), &c.line, &c.column, &c.lines, &c.columns);
  return c;
}

// A group over three lines, declared last, after the lines it stands over: it still takes the
// next column of its own line, the lines below leave that column to it, the heading alone spans
// the widest line, and the last line, alone but for the group's column, takes what is left.
TEST(ControlTables, AControlOverSeveralLinesKeepsItsColumnInTheLinesBelow) {
  Form form("Test");
  build(form, {
                  heading("Title", "T"),
                  button("A1", "a", Yellow, "", 2), button("A2", "a", Yellow, "", 2),
                  button("B1", "b", Yellow, "", 1), button("B2", "b", Yellow, "", 1),
                  button("L1", "l", Yellow, "", 3),
                  button("C1", "c", Yellow, "", 1),
                  overLines(group("Side", "", "", 1), 3),
              });
  EXPECT_EQ(cellOf(form, "B1"), (Cell{1, 0, 1, 1}));
  EXPECT_EQ(cellOf(form, "B2"), (Cell{1, 1, 1, 1}));
  EXPECT_EQ(cellOf(form, "C1"), (Cell{1, 2, 1, 1}));
  EXPECT_EQ(cellOf(form, "Side"), (Cell{1, 3, 3, 1}));
  EXPECT_EQ(cellOf(form, "A1"), (Cell{2, 0, 1, 1}));
  EXPECT_EQ(cellOf(form, "A2"), (Cell{2, 1, 1, 1}));
  EXPECT_EQ(cellOf(form, "L1"), (Cell{3, 0, 1, 3}));
  EXPECT_EQ(cellOf(form, "Title"), (Cell{0, 0, 1, 4}));
}

TEST(ControlTables, ControlsInTheMiddleOfALineStepRoundAColumnTakenFromAbove) {
  Form form("Test");
  build(form, {
                  button("A", "a", Yellow, "", 0), overLines(group("Side", "", "", 0), 2), button("C", "c", Yellow, "", 0),
                  button("D", "d", Yellow, "", 1), button("E", "e", Yellow, "", 1),
                  stretch("", 2),
              });
  EXPECT_EQ(cellOf(form, "Side"), (Cell{0, 1, 2, 1}));
  EXPECT_EQ(cellOf(form, "D"), (Cell{1, 0, 1, 1}));
  EXPECT_EQ(cellOf(form, "E"), (Cell{1, 2, 1, 1}));
  // The line below the group's keeps a gap in its column; the stretch alone on the last line takes
  // the room below.
  auto* grid = qobject_cast<QGridLayout*>(form.layout());
  QSpacerItem* gap = grid->itemAtPosition(1, 1)->spacerItem();
  ASSERT_NE(gap, nullptr);
  QSpacerItem* room = grid->itemAtPosition(2, 0)->spacerItem();
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(room->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
  EXPECT_EQ(gap->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

TEST(ControlTables, TheTableGivesColoursAndStates) {
  Form form("Test");
  build(form, {
                  filled(label("State", "ON", "", 0, Yellow), Blue),
                  disabled(button("Later", "b", Green, "", 0)),
                  hidden(display("Kept", "0", "", 1, Cyan)),
                  atLeast(button("Big", "b", Salmon, "", 1), {120, 40}),
              });
  auto* state = form.control<QLabel>("State");
  EXPECT_EQ(state->palette().color(QPalette::WindowText), bgr(Yellow));
  EXPECT_EQ(state->palette().color(QPalette::Window), bgr(Blue));
  EXPECT_FALSE(form.control("Later")->isEnabled());
  EXPECT_TRUE(form.control("Kept")->isHidden());
  EXPECT_TRUE(form.control("Later")->isVisibleTo(&form));
  EXPECT_EQ(form.control("Big")->minimumSize(), QSize(120, 40));
  EXPECT_EQ(form.control<CmdButton>("Big")->normalColour(), Salmon);
}

}  // namespace
