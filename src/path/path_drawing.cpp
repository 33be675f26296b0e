#include "path/path_drawing.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace lorvane::path {

namespace {

using runner::Kind;
using runner::Move;
using runner::Plan;

const QColor kArcColor(0, 0, 220);
const QColor kLineColor(0, 130, 0);
const QColor kTeachColor(140, 0, 170);
const QColor kAxesColor(90, 90, 90);
const QColor kStartColor(0, 160, 0);
const QColor kEndColor(200, 0, 0);
const QColor kMarkColor(230, 110, 0);
const QColor kConditionColor(200, 0, 0);
const QColor kTrailColor(230, 0, 0, 150);
const QColor kGridColor(225, 225, 225);
const QColor kStripColors[3] = {QColor(0, 110, 200), QColor(200, 120, 0), QColor(150, 0, 150)};  // Z, C, A
constexpr int kStripAxes[3] = {2, 3, 4};
const char* const kStripNames[3] = {"Z", "C", "A"};

QColor colorOf(Kind k) {
  switch (k) {
    case Kind::Arc: return kArcColor;
    case Kind::Line: return kLineColor;
    case Kind::Teach: return kTeachColor;
    case Kind::Axes: break;
  }
  return kAxesColor;
}

QFont font(int pixels, bool bold = false) {
  QFont f(QStringLiteral("sans-serif"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

double mm(double hundredths) { return hundredths / 100.0; }

// A round step for grid lines: 1, 2 or 5 times a power of ten, about `lines` over `span`.
double gridStep(double span, int lines) {
  const double raw = std::max(span, 1e-9) / lines;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * p) return m * p;
  return 10 * p;
}

QString number(double v) { return QString::number(std::abs(v) < 1e-9 ? 0.0 : v, 'g', 6); }

// World millimetres to the XY area, Y up.
struct Frame {
  double scale = 1;
  QPointF origin;  // where (0, 0) falls
  QPointF at(double xMm, double yMm) const { return {origin.x() + xMm * scale, origin.y() - yMm * scale}; }
  QPointF at(const runner::Point& p) const { return at(mm(p[0]), mm(p[1])); }
  QPointF world(QPointF s) const { return {(s.x() - origin.x()) / scale, (origin.y() - s.y()) / scale}; }
};

// The XY curve of a move: an arc as cubic pieces of at most a quarter turn, then a straight line
// to the end point if the end is not on the circle (the controller jumps there too).
void addMove(QPainterPath& path, const Frame& f, const Move& m) {
  path.moveTo(f.at(m.from));
  if (m.arc && m.radius > 0) {
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::abs(m.sweep) / (std::numbers::pi / 2) - 1e-9)));
    const double r = mm(m.radius), cx = mm(m.cx), cy = mm(m.cy);
    for (int i = 0; i < pieces; ++i) {
      const double t1 = m.a0 + m.sweep * i / pieces, t2 = m.a0 + m.sweep * (i + 1) / pieces;
      const double k = 4.0 / 3.0 * std::tan((t2 - t1) / 4);
      const double x1 = cx + r * std::cos(t1), y1 = cy + r * std::sin(t1);
      const double x2 = cx + r * std::cos(t2), y2 = cy + r * std::sin(t2);
      path.cubicTo(f.at(x1 - k * r * std::sin(t1), y1 + k * r * std::cos(t1)),
                   f.at(x2 + k * r * std::sin(t2), y2 - k * r * std::cos(t2)), f.at(x2, y2));
    }
  }
  path.lineTo(f.at(m.to));
}

// Every XY point that must be in view (millimetres).
QRectF bounds(const Drawing& d) {
  QRectF box;
  const auto add = [&box](double x, double y) { box = box.united(QRectF(x, y, 1e-9, 1e-9)); };
  for (const Move& m : d.plan.moves) {
    add(mm(m.from[0]), mm(m.from[1]));
    add(mm(m.to[0]), mm(m.to[1]));
    if (m.arc)
      for (int i = 1; i < 64; ++i) {
        const runner::Point p = m.at(i / 64.0);
        add(mm(p[0]), mm(p[1]));
      }
  }
  for (const runner::Point& p : d.trail) add(mm(p[0]), mm(p[1]));
  if (box.isNull()) add(0, 0);
  const double side = std::max({box.width(), box.height(), 10.0});
  return box.adjusted(-(side - box.width()) / 2 - side * 0.08, -(side - box.height()) / 2 - side * 0.08,
                      (side - box.width()) / 2 + side * 0.08, (side - box.height()) / 2 + side * 0.08);
}

void arrow(QPainter& p, QPointF tip, QPointF towards, const QColor& c) {
  const QPointF d = tip - towards;
  const double len = std::hypot(d.x(), d.y());
  if (len < 1e-6) return;
  const QPointF u = d / len, n(-u.y(), u.x());
  const QPolygonF head({tip + u * 5, tip - u * 7 + n * 5, tip - u * 7 - n * 5});
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPolygon(head);
}

void label(QPainter& p, QPointF at, const QString& text, const QColor& c, int pixels = 12) {
  p.setFont(font(pixels));
  p.setPen(c);
  p.drawText(at, text);
}

QString markText(const Plan::Mark& m) {
  switch (m.kind) {
    case Plan::MarkKind::LoopPassEnd: return QStringLiteral("循环第%1遍止").arg(m.value);
    case Plan::MarkKind::Repeat: return QStringLiteral("工程循环");
    case Plan::MarkKind::Chain: return QStringLiteral("转工程%1").arg(m.value);
    case Plan::MarkKind::ChainAgain: return QStringLiteral("转工程%1（已画）").arg(m.value);
    case Plan::MarkKind::Cut: return QStringLiteral("步数过多，以下未画");
  }
  return {};
}

void grid(QPainter& p, const QRectF& area, const Frame& f) {
  const QPointF lo = f.world(area.bottomLeft()), hi = f.world(area.topRight());
  const double step = gridStep(std::max(hi.x() - lo.x(), hi.y() - lo.y()), 8);
  p.setFont(font(10));
  for (double x = std::ceil(lo.x() / step) * step; x <= hi.x(); x += step) {
    const double sx = f.at(x, 0).x();
    p.setPen(QPen(std::abs(x) < step / 2 ? Qt::gray : kGridColor, 1));
    p.drawLine(QPointF(sx, area.top()), QPointF(sx, area.bottom()));
    p.setPen(Qt::darkGray);
    p.drawText(QPointF(sx + 2, area.bottom() - 3), number(x));
  }
  for (double y = std::ceil(lo.y() / step) * step; y <= hi.y(); y += step) {
    const double sy = f.at(0, y).y();
    p.setPen(QPen(std::abs(y) < step / 2 ? Qt::gray : kGridColor, 1));
    p.drawLine(QPointF(area.left(), sy), QPointF(area.right(), sy));
    p.setPen(Qt::darkGray);
    if (sy > area.top() + 24) p.drawText(QPointF(area.left() + 3, sy - 2), number(y));  // clear of the plane's name
  }
}

void legend(QPainter& p, QPointF at) {
  const std::pair<QString, QColor> items[] = {{QStringLiteral("圆弧"), kArcColor},
                                              {QStringLiteral("直线"), kLineColor},
                                              {QStringLiteral("示教"), kTeachColor},
                                              {QStringLiteral("单轴"), kAxesColor},
                                              {QStringLiteral("运行轨迹"), kTrailColor}};
  p.setFont(font(11));
  for (const auto& [text, c] : items) {
    p.setPen(QPen(c, 3));
    p.drawLine(at + QPointF(0, -4), at + QPointF(18, -4));
    p.setPen(Qt::black);
    p.drawText(at + QPointF(22, 0), text);
    at += QPointF(0, 16);
  }
}

void paintXY(QPainter& p, const QRectF& area, const Drawing& d, const View& view) {
  const QRectF box = bounds(d);
  Frame f;
  f.scale = std::min(area.width() / box.width(), area.height() / box.height()) * view.zoom;
  f.origin = area.center() + view.pan - QPointF(box.center().x() * f.scale, -box.center().y() * f.scale);
  p.save();
  p.setClipRect(area);
  p.fillRect(area, Qt::white);
  grid(p, area, f);
  p.setRenderHint(QPainter::Antialiasing);
  const auto& moves = d.plan.moves;
  for (const Move& m : moves) {
    QPainterPath path;
    addMove(path, f, m);
    p.setPen(QPen(colorOf(m.kind), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  // Numbers and directions, over the lines.
  for (const Move& m : moves) {
    const QPointF mid = f.at(m.at(0.5)), before = f.at(m.at(0.45));
    const QPointF d2 = mid - before;
    const double len = std::hypot(d2.x(), d2.y());
    QPointF off(8, -6);
    if (len > 1e-6) {
      arrow(p, mid, before, colorOf(m.kind));
      off = QPointF(-d2.y(), d2.x()) / len * 12 + QPointF(-4, 4);
    }
    QString text = QString::number(m.step);
    if (!m.conditions.empty()) {
      QStringList inputs;
      for (int n : m.conditions) inputs << QStringLiteral("L%1").arg(n);
      text += QStringLiteral(" (%1)").arg(inputs.join(','));
    }
    label(p, mid + off, text, m.conditions.empty() ? QColor(Qt::black) : kConditionColor, 13);
  }
  for (const Plan::Mark& m : d.plan.marks) {
    if (m.after < 0 || m.after >= static_cast<int>(moves.size())) continue;
    const QPointF at = f.at(moves[static_cast<size_t>(m.after)].to);
    p.setPen(QPen(kMarkColor, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at, 7, 7);
    label(p, at + QPointF(9, 16), markText(m), kMarkColor, 11);
  }
  if (!d.trail.empty()) {
    QPolygonF trail;
    for (const runner::Point& pt : d.trail) trail << f.at(pt);
    p.setPen(QPen(kTrailColor, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(trail);
    p.setBrush(kTrailColor);
    p.drawEllipse(trail.last(), 5, 5);
  }
  if (!moves.empty()) {
    const QPointF start = f.at(moves.front().from), end = f.at(moves.back().to);
    p.setPen(Qt::NoPen);
    p.setBrush(kEndColor);
    p.drawRect(QRectF(end - QPointF(4, 4), QSizeF(8, 8)));
    label(p, end + QPointF(8, -8), QStringLiteral("终点"), kEndColor);
    p.setPen(Qt::NoPen);
    p.setBrush(kStartColor);
    p.drawEllipse(start, 5, 5);
    label(p, start + QPointF(8, -8), QStringLiteral("起点"), kStartColor);
  }
  p.restore();
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(area);
  label(p, area.topLeft() + QPointF(6, 16), QStringLiteral("XY 平面（mm）"), Qt::black);
  legend(p, QPointF(area.right() - 90, area.top() + 18));
}

// Z, C and A against the moves in run order: each move one column, its step number below.
void paintStrip(QPainter& p, const QRectF& frame, const Drawing& d) {
  const auto& moves = d.plan.moves;
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(frame);
  label(p, frame.topLeft() + QPointF(6, 14), QStringLiteral("Z C A（mm）随步"), Qt::black, 12);
  for (int i = 0; i < 3; ++i)
    label(p, QPointF(frame.right() - 110 + i * 36, frame.top() + 14), QString::fromLatin1(kStripNames[i]), kStripColors[i], 13);
  if (moves.empty()) return;
  const QRectF area = frame.adjusted(50, 22, -12, -20);
  double lo = 0, hi = 0;
  for (const Move& m : moves)
    for (int a : kStripAxes)
      for (double v : {mm(m.from[static_cast<size_t>(a)]), mm(m.to[static_cast<size_t>(a)])}) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
  if (hi - lo < 1) hi = lo + 1;
  const double n = static_cast<double>(moves.size());
  const auto x = [&](double i) { return area.left() + area.width() * i / n; };
  const auto y = [&](double v) { return area.bottom() - area.height() * (v - lo) / (hi - lo); };
  p.setFont(font(10));
  const double step = gridStep(hi - lo, 4);
  for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
    p.setPen(QPen(std::abs(v) < step / 2 ? Qt::gray : kGridColor, 1));
    p.drawLine(QPointF(area.left(), y(v)), QPointF(area.right(), y(v)));
    p.setPen(Qt::darkGray);
    p.drawText(QPointF(frame.left() + 4, y(v) + 4), number(v));
  }
  const int every = std::max(1, static_cast<int>(std::ceil(n / 50)));
  for (size_t i = 0; i < moves.size(); ++i) {
    if (i % static_cast<size_t>(every) != 0) continue;
    p.setPen(Qt::darkGray);
    p.drawText(QPointF(x(double(i)) + 2, area.bottom() + 14), QString::number(moves[i].step));
  }
  for (const Plan::Mark& m : d.plan.marks) {
    p.setPen(QPen(kMarkColor, 1, Qt::DashLine));
    p.drawLine(QPointF(x(m.after + 1), area.top()), QPointF(x(m.after + 1), area.bottom()));
  }
  p.setRenderHint(QPainter::Antialiasing);
  for (int k = 0; k < 3; ++k) {
    QPolygonF line;
    for (size_t i = 0; i < moves.size(); ++i) {
      const auto a = static_cast<size_t>(kStripAxes[k]);
      line << QPointF(x(double(i)), y(mm(moves[i].from[a]))) << QPointF(x(double(i) + 1), y(mm(moves[i].to[a])));
    }
    p.setPen(QPen(kStripColors[k], 2));
    p.drawPolyline(line);
  }
}

}  // namespace

void paint(QPainter& p, const QRectF& area, const Drawing& d, const View& view) {
  p.fillRect(area, QColor(245, 245, 245));
  label(p, area.topLeft() + QPointF(8, 20), d.title, Qt::black, 16);
  if (!d.note.isEmpty()) label(p, area.topLeft() + QPointF(160, 20), d.note, Qt::darkGray, 12);
  if (d.plan.moves.empty()) {
    label(p, area.center(), QStringLiteral("该工程没有步骤"), Qt::black, 16);
    return;
  }
  const QRectF plane = planeArea(area);
  paintXY(p, plane, d, view);
  paintStrip(p, QRectF(plane.left(), plane.bottom() + 8, plane.width(), area.bottom() - 8 - plane.bottom() - 8), d);
}

QRectF planeArea(const QRectF& area) {
  const QRectF inner = area.adjusted(8, 30, -8, -8);
  const double stripHeight = std::max(120.0, inner.height() * 0.25);
  return QRectF(inner.left(), inner.top(), inner.width(), inner.height() - stripHeight - 8);
}

QByteArray svg(const Drawing& d, QSize size) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator gen;
  gen.setOutputDevice(&buffer);
  gen.setSize(size);
  gen.setViewBox(QRect(QPoint(0, 0), size));
  gen.setTitle(d.title);
  {
    QPainter p(&gen);
    paint(p, QRectF(QPointF(0, 0), size), d);
  }
  return buffer.data();
}

bool save(const Drawing& d, const QString& file, QString* error, QSize size) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  QByteArray bytes;
  if (suffix == QLatin1String("svg")) {
    bytes = svg(d, size);
  } else if (suffix == QLatin1String("png")) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
      QPainter p(&image);
      paint(p, QRectF(QPointF(0, 0), size), d);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
  } else {
    *error = QStringLiteral("%1: the drawing is written as .svg or .png").arg(file);
    return false;
  }
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
    *error = QStringLiteral("%1: %2").arg(file, out.errorString());
    return false;
  }
  return true;
}

}  // namespace lorvane::path
