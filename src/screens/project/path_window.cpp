#include "screens/project/path_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QPushButton>
#include <QTime>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "frames/registers.h"
#include "projects/operations.h"
#include "projects/plot.h"
#include "projects/transfer.h"

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

namespace {

// The projects read from the controller since the program started, so that the system control
// screen can draw the one it runs without reading it again while it runs.
projects::Backup& readFromTheController() {
  static projects::Backup read;
  return read;
}

QString failure(const projects::TransferError& e) {
  using K = projects::TransferError::Kind;
  switch (e.kind) {
    case K::Refused: return QStringLiteral("读取失败：控制器拒绝了请求");
    case K::Silent: return QStringLiteral("读取失败：控制器无应答");
    case K::PortLost: return QStringLiteral("读取失败：串口已断开");
    case K::Interrupted: return QStringLiteral("已取消读取");
    case K::Other: break;
  }
  return QStringLiteral("读取失败：") + e.message;
}

}  // namespace

bool PathWindow::wasRead(int project) { return readFromTheController().project(project) != nullptr; }

PathWindow::PathWindow(QWidget* owner, int project, Exchange* engine) : QWidget(owner, Qt::Window), engine_(engine) {
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
  if (engine) read_ = button("Readcmd", QStringLiteral("从控制器读取"));
  QPushButton* fit = button("Fitcmd", QStringLiteral("适合窗口"));
  QPushButton* svg = button("Svgcmd", QStringLiteral("保存SVG"));
  QPushButton* png = button("Pngcmd", QStringLiteral("保存PNG"));
  auto* bar = new QHBoxLayout;
  if (read_) bar->addWidget(read_);
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
  if (read_) connect(read_, &QPushButton::clicked, this, &PathWindow::readFromController);
  connect(fit, &QPushButton::clicked, canvas_, &PathCanvas::fit);
  connect(svg, &QPushButton::clicked, this, [this] { saveAs("svg"); });
  connect(png, &QPushButton::clicked, this, [this] { saveAs("png"); });
  connect(project_, &QSpinBox::valueChanged, this, &PathWindow::redraw);
  resize(960, 720);
  if (engine && wasRead(project_->value())) {
    backup_ = readFromTheController();
    file_->setText(QStringLiteral("控制器（先前读取）"));
  }
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

bool PathWindow::readFromController() {
  // One read at a time: a second one started from inside the first's wait (a click that got
  // through) would select other steps under the first one's reads.
  static bool reading = false;
  if (!engine_ || reading) return false;
  reading = true;
  const auto done = qScopeGuard([] { reading = false; });
  const int number = project_->value();
  const QPointer<PathWindow> self(this);
  // No parent: if the screen and this window go while it reads (the port lost, say), the dialog
  // on this stack frame must not be deleted with them.
  QProgressDialog progress(QStringLiteral("正在从控制器读取工程 %1 …").arg(number), QStringLiteral("取消"), 0, 1000);
  progress.setObjectName(QStringLiteral("Readprogress"));
  progress.setWindowTitle(windowTitle());
  progress.setWindowModality(Qt::ApplicationModal);  // nothing else is clicked while it reads
  progress.setMinimumDuration(0);
  progress.setValue(0);
  projects::Transfer line(*engine_);
  connect(&progress, &QProgressDialog::canceled, &line, &projects::Transfer::interrupt);
  QString why;
  std::optional<projects::ProjectData> read;
  try {
    if (line.read(reg::RunStatus) != 0) {
      why = QStringLiteral("项目运行中，不能读取");
    } else {
      read = projects::readProject(line, number, [&progress](const projects::Progress& p) {
        progress.setValue(static_cast<int>(p.fraction * 1000));
      });
    }
  } catch (const projects::TransferError& e) {
    why = failure(e);
  }
  if (!self) return false;  // closed with its screen meanwhile
  progress.reset();
  if (!read) {
    file_->setText(why);
    return false;
  }
  projects::Backup& store = readFromTheController();
  store.date = QDateTime::currentDateTimeUtc();
  store.projects.removeIf([number](const projects::ProjectData& p) { return p.number == number; });
  store.projects << *read;
  std::sort(store.projects.begin(), store.projects.end(),
            [](const projects::ProjectData& a, const projects::ProjectData& b) { return a.number < b.number; });
  backup_ = store;
  file_->setText(QStringLiteral("控制器（%1 读取）").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
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
