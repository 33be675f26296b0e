#pragma once
// The drawing of a project's path, as the step interpreter plans it: the XY plane with each
// step's move numbered (arcs as arcs), the start, the direction of travel, the end of each loop
// pass and the chain to the next project, and below it a strip with Z, C and A against the steps.
// A trail of positions seen while the project runs can be drawn over it. The same drawing goes
// to the path window, to SVG and to PNG (Qt Gui and Svg; no widget, no display needed).
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <vector>

#include "sim/runner.h"

class QPainter;

namespace lorvane::path {

struct Drawing {
  runner::Plan plan;
  QString title;                     // e.g. "工程 1"
  QString note;                      // a line under the title (what the drawing assumes)
  std::vector<runner::Point> trail;  // positions seen during a run, oldest first
};

// How the XY plane is looked at: zoom 1 and no pan fit the whole path in its area.
struct View {
  double zoom = 1;
  QPointF pan;  // pixels
};

inline constexpr QSize kImageSize{960, 760};

// The part of `area` that paint() gives the XY plane.
QRectF planeArea(const QRectF& area);

void paint(QPainter& painter, const QRectF& area, const Drawing& drawing, const View& view = {});

// Writes the drawing as SVG or PNG, by the file's ending (.svg, .png); whole or not at all.
bool save(const Drawing& drawing, const QString& file, QString* error, QSize size = kImageSize);
QByteArray svg(const Drawing& drawing, QSize size = kImageSize);

}  // namespace lorvane::path
