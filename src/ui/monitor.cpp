#include "ui/monitor.h"

#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "link/trace.h"
#include "ui/form.h"

namespace lorvane::ui {

// ---- the list -------------------------------------------------------------------------------

TrafficModel::Row TrafficModel::rowOf(const TrafficEvent& e) {
  const FrameMeaning meaning = trafficMeaning(e);
  return Row{trafficFields(e, meaning), e.outcome, meaning.address, meaning.count};
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : TrafficColumnCount; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& r = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return r.fields.value(index.column());
    case Qt::FontRole:
      if (index.column() == FrameColumn) return QFontDatabase::systemFont(QFontDatabase::FixedFont);
      return {};
    case Qt::ForegroundRole:
      switch (r.outcome) {
        case Outcome::TimedOut:
        case Outcome::Malformed:
        case Outcome::Unmatched:
        case Outcome::OutOfStep: return QColor(0xB0, 0x00, 0x00);
        case Outcome::Refused:
        case Outcome::Late:
        case Outcome::LateTaken:
        case Outcome::Stray:
        case Outcome::Resent: return QColor(0xA0, 0x50, 0x00);
        default: return {};
      }
    default: return {};
  }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case TimeColumn: return tr("时间");
    case DirectionColumn: return tr("方向");
    case FrameColumn: return tr("帧");
    case MeaningColumn: return tr("含义");
    case OutcomeColumn: return tr("结果");
    default: return {};
  }
}

void TrafficModel::append(const std::vector<TrafficEvent>& events) {
  if (events.empty()) return;
  const std::size_t cap = Traffic::kHistory;
  const std::size_t take = std::min(events.size(), cap);
  const std::size_t drop = std::min(rows_.size(), rows_.size() + take > cap ? rows_.size() + take - cap : 0);
  if (drop > 0) {
    beginRemoveRows({}, 0, static_cast<int>(drop) - 1);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(drop));
    endRemoveRows();
  }
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(take) - 1);
  for (auto e = events.end() - static_cast<std::ptrdiff_t>(take); e != events.end(); ++e) rows_.push_back(rowOf(*e));
  endInsertRows();
}

void TrafficModel::reload(const std::deque<TrafficEvent>& history) {
  beginResetModel();
  rows_.clear();
  for (const TrafficEvent& e : history) rows_.push_back(rowOf(e));
  endResetModel();
}

bool TrafficModel::concerns(int row, int n) const {
  const Row& r = rows_[static_cast<std::size_t>(row)];
  return r.address >= 0 && n >= r.address && n < r.address + std::max(r.count, 1);
}

QString TrafficModel::line(int row) const { return trafficLine(rows_[static_cast<std::size_t>(row)].fields); }

// ---- the window -----------------------------------------------------------------------------

QPointer<Monitor> Monitor::the_;

Monitor::Monitor(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TrafficMonitor"));
  setWindowTitle(tr("Lorvane 通讯监视"));
  setAttribute(Qt::WA_QuitOnClose, false);
  filter_.setSourceModel(&model_);

  auto* counts = new QGroupBox(tr("自程序启动以来"), this);
  auto* grid = new QGridLayout(counts);
  const struct {
    const char* name;
    QString caption;
  } items[] = {
      {"requests", tr("请求")},  {"replies", tr("应答")}, {"timeouts", tr("超时")},          {"resends", tr("重发")},
      {"malformed", tr("错误帧")}, {"late", tr("迟到")},    {"replyTimeout", tr("应答超时")}, {"port", tr("串口")},
  };
  int i = 0;
  for (const auto& item : items) {
    auto* value = new QLabel(QStringLiteral("0"), counts);
    value->setObjectName(QString::fromLatin1(item.name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    counters_.insert(QString::fromLatin1(item.name), value);
    grid->addWidget(new QLabel(item.caption + tr("："), counts), i / 4, (i % 4) * 2, Qt::AlignRight);
    grid->addWidget(value, i / 4, (i % 4) * 2 + 1);
    ++i;
  }
  for (int c = 1; c < 8; c += 2) grid->setColumnStretch(c, 1);

  pause_ = new QPushButton(tr("暂停"), this);
  pause_->setObjectName(QStringLiteral("pause"));
  pause_->setCheckable(true);
  connect(pause_, &QPushButton::toggled, this, &Monitor::setPaused);
  auto* clearButton = new QPushButton(tr("清除"), this);
  clearButton->setObjectName(QStringLiteral("clear"));
  connect(clearButton, &QPushButton::clicked, this, &Monitor::clear);
  auto* save = new QPushButton(tr("保存…"), this);
  save->setObjectName(QStringLiteral("save"));
  connect(save, &QPushButton::clicked, this, &Monitor::askSave);
  registerFilter_ = new QLineEdit(this);
  registerFilter_->setObjectName(QStringLiteral("registerFilter"));
  registerFilter_->setPlaceholderText(tr("如 10DE"));
  registerFilter_->setMaxLength(4);
  registerFilter_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,4}")),
                                                                registerFilter_));
  registerFilter_->setMaximumWidth(registerFilter_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
  connect(registerFilter_, &QLineEdit::textChanged, this, &Monitor::setRegisterFilter);
  auto* tools = new QHBoxLayout;
  tools->addWidget(pause_);
  tools->addWidget(clearButton);
  tools->addWidget(save);
  tools->addStretch(1);
  tools->addWidget(new QLabel(tr("只看寄存器/线圈："), this));
  tools->addWidget(registerFilter_);

  list_ = new QTableView(this);
  list_->setObjectName(QStringLiteral("list"));
  list_->setModel(&filter_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setWordWrap(false);
  list_->setShowGrid(false);
  list_->setAlternatingRowColors(true);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  list_->horizontalHeader()->setStretchLastSection(true);
  const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics text = list_->fontMetrics();
  list_->setColumnWidth(TimeColumn, text.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
  list_->setColumnWidth(DirectionColumn, text.horizontalAdvance(tr("接收")) + 16);
  list_->setColumnWidth(FrameColumn, fixed.horizontalAdvance(QStringLiteral(":0110106400020430390000FF")) + 16);
  list_->setColumnWidth(MeaningColumn, text.horizontalAdvance(QStringLiteral("10 写寄存器 1064，2个：-2147483648（0000 8000）")));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(counts);
  layout->addLayout(tools);
  layout->addWidget(list_, 1);
  resize(1000, 560);

  refresh_.setSingleShot(true);
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &Monitor::refresh);
  installMonitorShortcut(this);
  showCounters();
}

Monitor::~Monitor() { disconnect(feed_); }

Monitor* Monitor::open() {
  if (!the_) {
    the_ = new Monitor;
    // A window without a parent: it goes with the program.
    connect(qApp, &QCoreApplication::aboutToQuit, the_, [] { discard(); });
  }
  if (the_->isMinimized()) the_->showNormal();
  else the_->show();
  the_->raise();
  the_->activateWindow();
  return the_;
}

void Monitor::discard() { delete the_.data(); }

void Monitor::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (feed_) return;
  // While closed the monitor takes in nothing; it starts from the record as it stands.
  feed_ = connect(&Traffic::instance(), &Traffic::recorded, this, &Monitor::take);
  incoming_.clear();
  model_.reload(Traffic::instance().history());
  list_->scrollToBottom();
  showCounters();
}

void Monitor::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (e->spontaneous()) return;  // minimised: still open
  disconnect(feed_);
  feed_ = {};
  incoming_.clear();
  refresh_.stop();
}

// Each frame is only noted here; the list takes them in at the next refresh.
void Monitor::take(const TrafficEvent& event) {
  if (!paused_) incoming_.push_back(event);
  if (!refresh_.isActive()) refresh_.start();
}

void Monitor::refresh() {
  refresh_.stop();
  if (!incoming_.empty()) {
    const QScrollBar* bar = list_->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    model_.append(incoming_);
    incoming_.clear();
    if (atEnd) list_->scrollToBottom();
  }
  showCounters();
}

void Monitor::showCounters() {
  const Traffic& t = Traffic::instance();
  const Traffic::Counters& c = t.counters();
  const auto set = [this](const char* name, const QString& text) {
    QLabel* l = counters_.value(QString::fromLatin1(name));
    if (l->text() != text) l->setText(text);
  };
  set("requests", QString::number(c.requests));
  set("replies", QString::number(c.replies));
  set("timeouts", QString::number(c.timeouts));
  set("resends", QString::number(c.resends));
  set("malformed", QString::number(c.malformed));
  set("late", QString::number(c.late));
  set("replyTimeout", t.replyTimeoutMs() > 0 ? tr("%1 ms").arg(t.replyTimeoutMs()) : QStringLiteral("—"));
  set("port", t.port().isEmpty() ? QStringLiteral("—") : t.port());
}

QString Monitor::counter(const QString& name) const {
  const QLabel* l = counters_.value(name);
  return l ? l->text() : QString();
}

void Monitor::setPaused(bool paused) {
  if (paused == paused_) return;
  if (paused) refresh();  // what came in before the pause is shown
  paused_ = paused;
  pause_->setChecked(paused);
  pause_->setText(paused ? tr("继续") : tr("暂停"));
  if (!paused && feed_) {
    // Back to the record as it stands, with what came in during the pause.
    incoming_.clear();
    model_.reload(Traffic::instance().history());
    list_->scrollToBottom();
    showCounters();
  }
}

void Monitor::setRegisterFilter(const QString& hex) {
  bool ok = false;
  const int n = hex.trimmed().toInt(&ok, 16);
  filter_.setRegister(ok ? n : -1);
  if (registerFilter_->text() != hex) registerFilter_->setText(hex);
}

void Monitor::clear() {
  Traffic::instance().clearHistory();
  incoming_.clear();
  model_.reload({});
  showCounters();
}

QStringList Monitor::shownLines() const {
  QStringList lines;
  lines.reserve(filter_.rowCount());
  for (int r = 0; r < filter_.rowCount(); ++r) lines << model_.line(filter_.mapToSource(filter_.index(r, 0)).row());
  return lines;
}

bool Monitor::saveTo(const QString& path, QString* error) {
  refresh();
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    if (error) *error = file.errorString();
    return false;
  }
  QStringList out{traceHeader()};
  out << QStringLiteral("# ") + tr("请求 %1，应答 %2，超时 %3，重发 %4，错误帧 %5，迟到 %6，应答超时 %7，串口 %8")
                                   .arg(counter("requests"), counter("replies"), counter("timeouts"), counter("resends"),
                                        counter("malformed"), counter("late"), counter("replyTimeout"), counter("port"));
  out << shownLines();
  const QByteArray text = (out.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
  if (file.write(text) != text.size() || !file.flush()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

void Monitor::askSave() {
  const QString name = QStringLiteral("lorvane-%1.txt").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const QString path = QFileDialog::getSaveFileName(this, tr("保存通讯记录"), name, tr("文本文件 (*.txt);;所有文件 (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (!saveTo(path, &error)) showMessage(this, tr("通讯记录保存失败：%1").arg(error));
}

void installMonitorShortcut(QWidget* window) {
  auto* f12 = new QShortcut(QKeySequence(Qt::Key_F12), window);
  f12->setContext(Qt::WindowShortcut);
  QObject::connect(f12, &QShortcut::activated, f12, [] { Monitor::open(); });
}

}  // namespace lorvane::ui
