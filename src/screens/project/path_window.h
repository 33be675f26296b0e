#pragma once
// The path window "路径预览": a project drawn as the controller will run it (the XY plane and Z,
// C, A against the steps), read from the controller through the screen's engine or taken from a
// backup file, with zoom (wheel), pan (drag) and fit (double click or "适合窗口"), saved as SVG or
// PNG. While a project runs, the positions the system control screen reads are drawn over the
// path as a trail.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "path/path_drawing.h"
#include "projects/backup_file.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace lorvane {
class Exchange;
}

namespace lorvane::screens {

class PathCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit PathCanvas(QWidget* parent = nullptr);
  void setDrawing(path::Drawing d);
  path::Drawing& drawing() { return drawing_; }
  const path::View& view() const { return view_; }
  void fit();

 protected:
  void paintEvent(QPaintEvent*) override;
  void wheelEvent(QWheelEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  path::Drawing drawing_;
  path::View view_;
  QPointF dragFrom_;
};

class PathWindow : public QWidget {
  Q_OBJECT
 public:
  // A window of its own over `owner`, closed with it. With the owner's engine it can read the
  // project from the controller.
  PathWindow(QWidget* owner, int project, Exchange* engine = nullptr);

  bool openFile(const QString& file, QString* error);
  // Reads the project shown from the controller, with a progress bar and a cancel; the screen's
  // read cycle waits meanwhile. Not while a project runs: its steps are selected to be read.
  // False if it was not read (the window says why).
  bool readFromController();
  // The project was read from the controller during this run of the program.
  static bool wasRead(int project);
  void setProject(int project);
  // Where the run starts (the path is drawn from there) and the positions seen since.
  void setStart(const runner::Point& start);
  void addTrailPoint(const runner::Point& at);
  PathCanvas* canvas() const { return canvas_; }

 private:
  void redraw();
  void chooseFile();
  void saveAs(const char* suffix);

  PathCanvas* canvas_;
  QSpinBox* project_;
  QLabel* file_;
  QPushButton* read_ = nullptr;
  QPointer<Exchange> engine_;
  std::optional<projects::Backup> backup_;
  runner::Point start_{};
};

}  // namespace lorvane::screens
