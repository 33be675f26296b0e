#pragma once
// The traffic monitor: a window beside the screens that lists every frame sent to and received
// from the controller (time, direction, frame, what it says, what became of it), with the
// counters since the program started above the list. F12 on any window of the program opens it.
// It only reads the traffic record: while it is closed it costs the line nothing, and while it is
// open it takes in new frames twice a second, not frame by frame.
#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <vector>

#include "link/traffic.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace lorvane::ui {

// The rows of the list: the last Traffic::kHistory events, each formatted once as it comes in.
class TrafficModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void append(const std::vector<TrafficEvent>& events);
  void reload(const std::deque<TrafficEvent>& history);
  // Whether a row concerns register (or coil) n.
  bool concerns(int row, int n) const;
  QString line(int row) const;

 private:
  struct Row {
    QStringList fields;
    Outcome outcome = Outcome::Sent;
    int address = -1;
    int count = 0;
  };
  static Row rowOf(const TrafficEvent& e);
  std::deque<Row> rows_;
};

class Monitor : public QWidget {
  Q_OBJECT
 public:
  explicit Monitor(QWidget* parent = nullptr);
  ~Monitor() override;

  // The one monitor of the program, made at first use; shown and brought to the front.
  static Monitor* open();
  static Monitor* existing() { return the_; }
  static void discard();  // ends the monitor (program end, tests)

  // New frames are not added to the list while paused (they are still recorded, and shown when
  // the pause ends); the counters keep counting.
  void setPaused(bool paused);
  bool isPaused() const { return paused_; }
  // Shows only the frames that concern this register or coil (hex, as on the line: "10DE");
  // an empty text shows everything.
  void setRegisterFilter(const QString& hex);
  // Empties the list and the record it comes from (the counters stay: they count since the start).
  void clear();
  // Writes the list as shown to a file, the trace's way. False, with the reason, if it cannot.
  bool saveTo(const QString& path, QString* error = nullptr);
  // Takes in what has been recorded since the last time (the list is brought up to date every
  // kRefreshMs by itself).
  void refresh();
  // The lines of the list as shown (after the filter), as saved.
  QStringList shownLines() const;
  // A counter's value as shown ("requests", "replies", "timeouts", "resends", "malformed",
  // "late", "replyTimeout", "port").
  QString counter(const QString& name) const;

  static constexpr int kRefreshMs = 500;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void take(const TrafficEvent& event);
  void showCounters();
  void follow();
  void askSave();

  class Filter : public QSortFilterProxyModel {
   public:
    explicit Filter(TrafficModel* source, QObject* parent) : QSortFilterProxyModel(parent), source_(source) {}
    void setRegister(int n) {
      reg_ = n;
      invalidateFilter();
    }

   protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override { return reg_ < 0 || source_->concerns(row, reg_); }

   private:
    TrafficModel* source_;
    int reg_ = -1;
  };

  static QPointer<Monitor> the_;
  TrafficModel model_;
  Filter filter_{&model_, nullptr};
  QTableView* list_ = nullptr;
  QPushButton* pause_ = nullptr;
  QLineEdit* registerFilter_ = nullptr;
  QHash<QString, QLabel*> counters_;
  std::vector<TrafficEvent> incoming_;
  QTimer refresh_;
  QMetaObject::Connection feed_;
  bool paused_ = false;
};

// F12 on this window opens the traffic monitor (or brings it to the front).
void installMonitorShortcut(QWidget* window);

}  // namespace lorvane::ui
