#include "shell/main_screen.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <cmath>
#include <limits>

#include "frames/frames.h"
#include "link/link.h"
#include "frames/registers.h"
#include "ui/controls.h"
#include "ui/session.h"

namespace lorvane::shell {

using namespace lorvane::ui;

namespace {

ScreenDecl exchangeTable() {
  return ScreenDecl{
      .intervalMs = 80,
      .silentLimit = 5,
      .reads = {Read{.reg = reg::ProductionCount, .field = "LCtxt"}},
      .sequences = {Sequence{.button = "lccmd",
                             .steps = {Write{.reg = reg::ProductionCount, .field = "LCtxt", .range = range(0, 65535)}},
                             .onClick = {RestartTimer{}},
                             .onDone = {KeepCycle{}}}},
  };
}

// The controls that need the port: they take no clicks until it is open.
const QStringList kAreaControls = {"Refcmd", "Tstcmd", "Efcmd", "Xkcmd", "lccmd", "LCtxt"};

// The port first, with the list of ports present below its number (CKlist takes the place
// kept for it) and the search for the controller; the working areas two by two, the wiring
// diagram and the production count across the whole width below them.
const Controls kControls = {
    heading("Label1", "Lorvane"),
    group("Frame2", "串口选择", "", 1),
    label("Label4", "本站串口号为:", "Frame2", 0), entry("CKtxt", "1", "Frame2", 0),
    button("Okcmd", "确定", Rose, "Frame2", 0), button("EXcmd", "退出", PaleGreen, "Frame2", 0),
    spanning(stretch("Frame2", 1), 2), spanning(button("Findcmd", "查找控制器", LightYellow, "Frame2", 1), 2),
    group("Frame1", "", "", 2),
    disabled(spanning(button("Refcmd", "各 轴 参 数 设 置", Green, "Frame1", 0), 2)),
    disabled(spanning(button("Tstcmd", "系 统 功 能 测 试", Green, "Frame1", 0), 2)),
    disabled(spanning(button("Xkcmd", "系 统 控 制 界 面", Green, "Frame1", 1), 2)),
    disabled(spanning(button("Efcmd", "工 程 参 数 设 定", Green, "Frame1", 1), 2)),
    button("WZcmd", "五 轴 接 线 图", Yellow, "Frame1", 2),
    label("Label2", "量产", "Frame1", 3), disabled(spanning(entry("LCtxt", "0", "Frame1", 3), 2)),
    disabled(button("lccmd", "修改", LightYellow, "Frame1", 3)),
};

// The last port number that opened, kept for the next start.
constexpr auto kPortKey = "port/number";
QSettings settings() { return QSettings(QStringLiteral("lorvane"), QStringLiteral("lorvane")); }

QString tr(const char* text) { return QCoreApplication::translate("lorvane", text); }

// A port as messages name it: "串口3（/dev/ttyUSB0）", or the device while it has no number.
QString portName(const PortEntry& e) {
  if (e.number <= 0) return e.port.device;
  return tr("串口%1（%2）").arg(e.number).arg(e.port.device);
}

}  // namespace

MainScreen::MainScreen() : Screen("Mainfrm1", exchangeTable()) {
  build(*this, kControls);
  // The list of ports in the place kept for it below the number.
  auto* grid = qobject_cast<QGridLayout*>(control("Frame2")->layout());
  QLayoutItem* kept = grid->itemAtPosition(1, 0);
  grid->removeItem(kept);
  delete kept;
  list_ = new QComboBox(control("Frame2"));
  list_->setObjectName(QStringLiteral("CKlist"));
  list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  list_->setMinimumContentsLength(14);
  list_->setPlaceholderText(tr("未找到串口"));
  grid->addWidget(list_, 1, 0, 1, 2);
  control<QLineEdit>("CKtxt")->setText(QString::number(rememberedPort()));
  bindControls();
  connect(control<QPushButton>("Okcmd"), &QPushButton::clicked, this, &MainScreen::openClicked);
  connect(control<QPushButton>("Findcmd"), &QPushButton::clicked, this, &MainScreen::findClicked);
  connect(list_, &QComboBox::activated, this, &MainScreen::portChosen);
  connect(control<QLineEdit>("CKtxt"), &QLineEdit::textChanged, this, &MainScreen::showTypedPort);
  listTimer_.setInterval(kListRefreshMs);
  connect(&listTimer_, &QTimer::timeout, this, &MainScreen::refreshPorts);
  refreshPorts();
}

int MainScreen::rememberedPort() {
  bool ok = false;
  const int n = settings().value(QLatin1String(kPortKey)).toInt(&ok);
  return ok && n >= 1 && n <= std::numeric_limits<std::int16_t>::max() ? n : 1;
}

void MainScreen::setPortOpen(bool open) {
  for (const QString& name : kAreaControls) control(name)->setEnabled(open);
  auto* ok = control<CmdButton>("Okcmd");
  ok->setColour(open ? Red : ok->normalColour());
}

void MainScreen::showEvent(QShowEvent* e) {
  Screen::showEvent(e);
  refreshPorts();
  listTimer_.start();
}

void MainScreen::hideEvent(QHideEvent* e) {
  listTimer_.stop();
  Screen::hideEvent(e);
}

void MainScreen::refreshPorts() {
  const QList<PortEntry> now = listPorts(portSource());
  if (now == entries_ && list_->count() == entries_.size()) return;  // unchanged: the open list stays as it is
  entries_ = now;
  list_->clear();
  for (const PortEntry& e : entries_) list_->addItem(e.text());
  list_->setPlaceholderText(entries_.isEmpty() ? tr("未找到串口") : tr("选择串口"));
  // The open list shows whole lines, however narrow the field.
  list_->view()->setMinimumWidth(list_->view()->sizeHintForColumn(0) + 2 * list_->view()->frameWidth());
  showTypedPort();
}

void MainScreen::showTypedPort() {
  const double n = roundHalfEven(leadingNumber(control<QLineEdit>("CKtxt")->text()));
  qsizetype at = -1;
  for (qsizetype i = 0; i < entries_.size() && at < 0; ++i)
    if (entries_[i].number > 0 && entries_[i].number == n) at = i;
  list_->setCurrentIndex(static_cast<int>(at));
}

void MainScreen::portChosen(int index) {
  if (index < 0 || index >= entries_.size()) return;
  QString error;
  const int n = assignNumber(entries_[index], entries_, PortFolders{}, &error);
  if (n <= 0) {
    showMessage(this, tr("无法为%1编号：%2").arg(entries_[index].port.device, error));
    showTypedPort();
    return;
  }
  control<QLineEdit>("CKtxt")->setText(QString::number(n));
  refreshPorts();  // a new number shows at once
}

bool MainScreen::load() {
  if (!session().portReopen) return true;  // program start: the operator opens the port
  session().portReopen = false;
  // Back from another screen. A port never opened (the wiring diagram visited first) stays
  // closed without a word; one that cannot be opened again is reported and stays closed.
  if (session().portNumber == 0) return true;
  if (openPort(session().portNumber)) {
    setPortOpen(true);
  } else {
    showMessage(this, QCoreApplication::translate("lorvane", "串口%1无法打开，请检查串口后按“确定”").arg(session().portNumber));
  }
  return true;
}

void MainScreen::openClicked() {
  // The leading number of the field, rounded; one that does not fit 16 bits names no port.
  const double n = roundHalfEven(leadingNumber(control<QLineEdit>("CKtxt")->text()));
  const bool fits = n >= std::numeric_limits<std::int16_t>::min() && n <= std::numeric_limits<std::int16_t>::max();
  if (fits) {
    // The device is looked up now, once: every screen opens this one until "确定" is pressed again.
    session().portNumber = static_cast<int>(n);
    session().portDevice = portDeviceName(session().portNumber);
  }
  // Pressed again while open: closed and opened again with the number now typed.
  if (fits && openPort(session().portNumber)) {
    setPortOpen(true);
    settings().setValue(QLatin1String(kPortKey), session().portNumber);
    return;
  }
  closePort();
  Busy busy(this);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral(" 串口设定"), QStringLiteral("串口设定出错或您的设备上无串口"),
                  QMessageBox::Ok | QMessageBox::Cancel, this);
  box.setObjectName("portFailure");
  if (box.exec() == QMessageBox::Cancel) showMessage(this, QStringLiteral("请仔细检查您的串口一下"));
  emit endProgram();
}

bool MainScreen::leave() {
  if (probe_) probe_->cancel();
  return Screen::leave();
}

void MainScreen::findClicked() {
  if (probe_) return;
  // The port this screen holds is asked too: it is closed first, and "确定" opens the one found.
  if (portOpen()) {
    closePort();
    setPortOpen(false);
  }
  refreshPorts();
  probed_.clear();
  busySkipped_.clear();
  QStringList devices;
  for (const PortEntry& e : entries_) {
    if (e.port.busy) {
      busySkipped_ << portName(e);
      continue;
    }
    probed_ << e;
    devices << (e.number > 0 ? portDeviceName(e.number) : e.port.device);
  }
  if (probed_.isEmpty()) {
    QString text = tr("未找到可询问的串口");
    if (!busySkipped_.isEmpty()) text += tr("；被占用：%1").arg(busySkipped_.join(tr("、")));
    showMessage(this, text);
    return;
  }
  probe_ = new ControllerProbe(devices, this);
  progress_ = new QProgressDialog(this);
  progress_->setWindowTitle(QStringLiteral("Lorvane"));
  progress_->setObjectName(QStringLiteral("findProgress"));
  progress_->setCancelButtonText(tr("取消"));
  progress_->setRange(0, static_cast<int>(probed_.size()));
  progress_->setWindowModality(Qt::WindowModal);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  connect(progress_, &QProgressDialog::canceled, probe_, &ControllerProbe::cancel);
  connect(probe_, &ControllerProbe::asking, this, [this](int i) {
    if (!progress_) return;
    progress_->setLabelText(tr("正在查找控制器：%1").arg(portName(probed_[i])));
    progress_->setValue(i);
  });
  connect(probe_, &ControllerProbe::finished, this, &MainScreen::probeFinished, Qt::QueuedConnection);
  progress_->show();
  probe_->start();
}

void MainScreen::probeFinished() {
  if (!probe_) return;
  const ControllerProbe::Result result = probe_->result();
  delete probe_;  // its ports are closed; this runs from the event loop, not inside its signal
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
  }
  if (result.cancelled) return;
  if (result.found >= 0) {
    PortEntry found = probed_[result.found];
    QString error;
    found.number = assignNumber(found, entries_, PortFolders{}, &error);
    if (found.number <= 0) {
      showMessage(this, tr("无法为%1编号：%2").arg(found.port.device, error));
      return;
    }
    control<QLineEdit>("CKtxt")->setText(QString::number(found.number));
    refreshPorts();
    showMessage(this, tr("在%1上找到控制器，已填入串口号，请按“确定”").arg(portName(found)));
    return;
  }
  QStringList asked, unopened;
  for (qsizetype i = 0; i < probed_.size(); ++i) {
    if (result.outcomes.value(i) == ControllerProbe::Outcome::CannotOpen) unopened << portName(probed_[i]);
    else asked << portName(probed_[i]);
  }
  QString text = tr("未找到控制器。已询问：%1").arg(asked.isEmpty() ? tr("无") : asked.join(tr("、")));
  if (!unopened.isEmpty()) text += tr("；无法打开：%1").arg(unopened.join(tr("、")));
  if (!busySkipped_.isEmpty()) text += tr("；被占用：%1").arg(busySkipped_.join(tr("、")));
  showMessage(this, text);
}

}  // namespace lorvane::shell
