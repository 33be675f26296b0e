#include "screens/project/path_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "projects/plot.h"

namespace lorvane::screens {

PathCanvas::PathCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PathCanvas"));
  setMinimumSize(480, 380);
}

void PathCanvas::setDrawing(path::Drawing d) {
  drawing_ = std::move(d);
  update();
}

void PathCanvas::fit() {
  view_ = {};
  update();
}

void PathCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  path::paint(p, rect(), drawing_, view_);
}

// The point under the cursor stays where it is.
void PathCanvas::wheelEvent(QWheelEvent* e) {
  const double k = std::pow(1.25, e->angleDelta().y() / 120.0);
  const QPointF c = e->position() - path::planeArea(rect()).center();
  view_.pan = c - (c - view_.pan) * k;
  view_.zoom *= k;
  update();
}

void PathCanvas::mousePressEvent(QMouseEvent* e) { dragFrom_ = e->position(); }

void PathCanvas::mouseMoveEvent(QMouseEvent* e) {
  view_.pan += e->position() - dragFrom_;
  dragFrom_ = e->position();
  update();
}

void PathCanvas::mouseDoubleClickEvent(QMouseEvent*) { fit(); }

PathWindow::PathWindow(QWidget* owner, int project) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("Pathfrm"));
  setWindowTitle(QStringLiteral("路径预览"));
  setAttribute(Qt::WA_DeleteOnClose);
  canvas_ = new PathCanvas(this);
  project_ = new QSpinBox(this);
  project_->setObjectName(QStringLiteral("PRspin"));
  project_->setRange(1, projects::kProjects);
  project_->setValue(std::clamp(project, 1, projects::kProjects));
  file_ = new QLabel(QStringLiteral("未打开备份文件"), this);
  file_->setObjectName(QStringLiteral("Filelel"));
  const auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  QPushButton* open = button("Opencmd", QStringLiteral("打开备份文件"));
  QPushButton* fit = button("Fitcmd", QStringLiteral("适合窗口"));
  QPushButton* svg = button("Svgcmd", QStringLiteral("保存SVG"));
  QPushButton* png = button("Pngcmd", QStringLiteral("保存PNG"));
  auto* bar = new QHBoxLayout;
  bar->addWidget(open);
  bar->addWidget(new QLabel(QStringLiteral("工程号"), this));
  bar->addWidget(project_);
  bar->addWidget(file_, 1);
  bar->addWidget(fit);
  bar->addWidget(svg);
  bar->addWidget(png);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(canvas_, 1);
  connect(open, &QPushButton::clicked, this, &PathWindow::chooseFile);
  connect(fit, &QPushButton::clicked, canvas_, &PathCanvas::fit);
  connect(svg, &QPushButton::clicked, this, [this] { saveAs("svg"); });
  connect(png, &QPushButton::clicked, this, [this] { saveAs("png"); });
  connect(project_, &QSpinBox::valueChanged, this, &PathWindow::redraw);
  resize(960, 720);
  redraw();
}

bool PathWindow::openFile(const QString& file, QString* error) {
  auto b = projects::load(file, error);
  if (!b) return false;
  backup_ = std::move(b);
  file_->setText(QFileInfo(file).fileName());
  redraw();
  return true;
}

void PathWindow::setProject(int project) { project_->setValue(project); }

void PathWindow::setStart(const runner::Point& start) {
  start_ = start;
  canvas_->drawing().trail.clear();
  redraw();
}

void PathWindow::addTrailPoint(const runner::Point& at) {
  auto& trail = canvas_->drawing().trail;
  if (!trail.empty() && trail.back() == at) return;
  trail.push_back(at);
  canvas_->update();
}

void PathWindow::redraw() {
  auto trail = std::move(canvas_->drawing().trail);
  path::Drawing d;
  if (backup_) {
    d = projects::drawingOf(*backup_, project_->value(), start_);
  } else {
    d.title = QStringLiteral("工程 %1 路径").arg(project_->value());
    d.note = QStringLiteral("请打开备份文件");
  }
  d.trail = std::move(trail);
  canvas_->setDrawing(std::move(d));
}

void PathWindow::chooseFile() {
  const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("打开备份文件"), QString(),
                                                    QStringLiteral("备份文件 (*.json)"));
  if (file.isEmpty()) return;
  QString error;
  if (!openFile(file, &error)) QMessageBox::warning(this, QStringLiteral("路径预览"), QStringLiteral("无法打开备份文件：%1").arg(error));
}

void PathWindow::saveAs(const char* suffix) {
  const QString ext = QString::fromLatin1(suffix);
  QString file = QFileDialog::getSaveFileName(this, QStringLiteral("保存") + ext.toUpper(),
                                              QStringLiteral("工程%1路径.%2").arg(project_->value()).arg(ext),
                                              ext.toUpper() + QStringLiteral(" (*.") + ext + QStringLiteral(")"));
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().toLower() != ext) file += QLatin1Char('.') + ext;
  QString error;
  if (!path::save(canvas_->drawing(), file, &error, canvas_->size()))
    QMessageBox::warning(this, QStringLiteral("路径预览"), QStringLiteral("保存失败：%1").arg(error));
}

}  // namespace lorvane::screens
