#include "screens/project/step_page.h"

#include <QGridLayout>
#include <QSvgRenderer>
#include <QSvgWidget>

namespace lorvane::screens {

void helpBeside(ui::Form& form, const QString& frame, int firstLine, int lines) {
  auto* grid = qobject_cast<QGridLayout*>(form.layout());
  QWidget* help = form.control(frame);
  if (!grid || !help) return;
  const int index = grid->indexOf(help);
  if (index < 0) return;
  int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
  grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
  grid->removeWidget(help);
  grid->addWidget(help, firstLine, column, lines, 1);
}

void addExample(ui::Form& form, const QString& frame, const QString& svg) {
  QWidget* group = form.control(frame);
  auto* grid = group ? qobject_cast<QGridLayout*>(group->layout()) : nullptr;
  if (!grid) return;
  auto* picture = new QSvgWidget(svg, group);
  picture->setObjectName(QStringLiteral("Picture1"));
  // Shown at the drawing's own size and proportions, beside the list at its top.
  const QSize size = picture->renderer()->defaultSize();
  picture->setFixedSize(size.isValid() ? size : QSize(280, 210));
  grid->addWidget(picture, 0, grid->columnCount(), Qt::AlignTop);
}

}  // namespace lorvane::screens
