#include "link/port_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSet>
#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#endif

namespace lorvane {

namespace {

#ifndef Q_OS_WIN
// Where serial programs (Qt's serial port, minicom, the UUCP tools) leave LCK..name files.
const QStringList& lockFolders() {
  static const QStringList folders = [] {
    QStringList f = {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp"};
    if (!f.contains(QDir::tempPath())) f << QDir::tempPath();
    return f;
  }();
  return folders;
}

// A lock file names the holding process on its first line (as text; a few old tools write it as
// a binary number, which is not read here). A lock of a process that has ended holds nothing, and
// one of this program is its own port, not another program's.
bool heldByAnother(const QString& lockFile) {
  QFile f(lockFile);
  if (!f.open(QIODevice::ReadOnly)) return false;
  bool ok = false;
  const qint64 pid = f.readLine(32).trimmed().toLongLong(&ok);
  if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid()) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
#endif

QString canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? path : c;
}

// Every path a link passes through to its device, the link itself first, then its final target
// when it exists.
QStringList linkChain(const QString& link) {
  QStringList chain{link};
  QFileInfo info(link);
  for (int i = 0; i < 8 && info.isSymLink(); ++i) {
    chain << info.symLinkTarget();
    info = QFileInfo(chain.last());
  }
  const QString end = QFileInfo(link).canonicalFilePath();
  if (!end.isEmpty() && !chain.contains(end)) chain << end;
  return chain;
}

// The comN entries of the ports folder by number, dangling ones too (their numbers are taken).
QMap<int, QString> portLinks(const QString& folder) {
  QMap<int, QString> links;
  static const QRegularExpression name(QStringLiteral("^com([1-9][0-9]{0,4})$"));
  const QDir dir(folder);
  for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    const auto m = name.match(entry);
    if (m.hasMatch()) links.insert(m.captured(1).toInt(), dir.filePath(entry));
  }
  return links;
}

// Device (canonical) -> its by-id path, the first by name where it has several.
QHash<QString, QString> byIdPaths(const QString& folder) {
  QHash<QString, QString> paths;
  const QDir dir(folder);
  for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
    const QString target = QFileInfo(dir.filePath(entry)).canonicalFilePath();
    if (!target.isEmpty() && !paths.contains(target)) paths.insert(target, dir.filePath(entry));
  }
  return paths;
}

std::shared_ptr<PortSource>& installedSource() {
  static std::shared_ptr<PortSource> source;
  return source;
}

}  // namespace

QList<PortDescription> SystemPortSource::ports() {
  QList<PortDescription> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortDescription p{.device = info.systemLocation(), .description = info.description(),
                      .manufacturer = info.manufacturer(), .serialNumber = info.serialNumber()};
#ifdef Q_OS_WIN
    p.device = info.portName();
#endif
    p.busy = busy(p.device);
    ports << p;
  }
  return ports;
}

bool SystemPortSource::busy(const QString& device) {
#ifdef Q_OS_WIN
  // Windows keeps no lock files: a port another program holds refuses to open. Opening sends
  // nothing, but the list is refreshed every second: each port is tried at most every 5 s.
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  auto seen = busySeen_.find(device);
  if (seen != busySeen_.end() && now - seen->second < 5000) return seen->first;
  QSerialPort port(device);
  bool busy = false;
  if (port.open(QIODevice::ReadWrite)) port.close();
  else busy = port.error() == QSerialPort::PermissionError;
  busySeen_.insert(device, {busy, now});
  return busy;
#else
  // The lock file's name is the device's path below /dev with "/" as "_", as Qt names it.
  QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString lock = QStringLiteral("/LCK..") + name;
  return std::any_of(lockFolders().begin(), lockFolders().end(),
                     [&](const QString& folder) { return heldByAnother(folder + lock); });
#endif
}

PortSource& portSource() {
  static SystemPortSource system;
  if (installedSource()) return *installedSource();
  return system;
}

void setPortSource(std::shared_ptr<PortSource> source) { installedSource() = std::move(source); }

QString PortEntry::text() const {
  QStringList parts;
#ifdef Q_OS_WIN
  parts << port.device;
#else
  parts << (number > 0 ? QString::number(number) : QStringLiteral("-")) << port.device;
#endif
  for (const QString& s : {port.description, port.manufacturer, port.serialNumber})
    if (!s.isEmpty() && !parts.contains(s)) parts << s;
  QString text = parts.join(QStringLiteral("  "));
  if (port.busy) text += QCoreApplication::translate("lorvane", "  （被占用）");
  return text;
}

QList<PortEntry> listPorts(PortSource& source, const PortFolders& folders) {
  QList<PortEntry> entries;
  const QHash<QString, QString> byId = byIdPaths(folders.byId);
  for (const PortDescription& d : source.ports()) entries << PortEntry{.port = d, .byId = byId.value(canonical(d.device))};

#ifdef Q_OS_WIN
  static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
  for (PortEntry& e : entries) e.number = com.match(e.port.device).captured(1).toInt();
#else
  // Each link names the listed port it leads to (by the device, its canonical path or its by-id
  // path), else a device of its own when its target is there.
  const QMap<int, QString> links = portLinks(folders.ports);
  for (auto it = links.begin(); it != links.end(); ++it) {
    const QStringList chain = linkChain(it.value());
    const auto named = std::find_if(entries.begin(), entries.end(), [&](const PortEntry& e) {
      return chain.contains(e.port.device) || chain.contains(canonical(e.port.device)) ||
             (!e.byId.isEmpty() && chain.contains(e.byId));
    });
    if (named != entries.end()) {
      if (named->number == 0) named->number = it.key();  // the lowest of several links
      named->port.busy = named->port.busy || std::any_of(chain.begin() + 1, chain.end(), [&](const QString& p) {
                           return source.busy(p);
                         });
      continue;
    }
    const QFileInfo target(it.value());
    if (!target.exists() || target.isDir()) continue;  // a dangling link names nothing present
    const QString device = target.canonicalFilePath();
    if (std::any_of(entries.begin(), entries.end(), [&](const PortEntry& e) { return e.port.device == device; })) continue;
    PortEntry own{.number = it.key(), .port = {.device = device}, .byId = byId.value(device)};
    own.port.busy = std::any_of(chain.begin() + 1, chain.end(), [&](const QString& p) { return source.busy(p); });
    entries << own;
  }
  // /dev/ttySk is port k+1 while no link takes that number.
  static const QRegularExpression ttyS(QStringLiteral("^/dev/ttyS([0-9]+)$"));
  for (PortEntry& e : entries) {
    const auto m = ttyS.match(e.port.device);
    if (e.number == 0 && m.hasMatch() && !links.contains(m.captured(1).toInt() + 1)) e.number = m.captured(1).toInt() + 1;
  }
#endif
  std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
    if ((a.number == 0) != (b.number == 0)) return a.number != 0;
    return a.number != b.number ? a.number < b.number : a.port.device < b.port.device;
  });
  return entries;
}

int assignNumber(const PortEntry& entry, const QList<PortEntry>& listed, const PortFolders& folders, QString* error) {
  if (entry.number > 0) return entry.number;
#ifdef Q_OS_WIN
  if (error) *error = QStringLiteral("no COM number");
  return 0;
#else
  QSet<int> taken;
  for (const PortEntry& e : listed) taken.insert(e.number);
  for (const int n : portLinks(folders.ports).keys()) taken.insert(n);
  if (!QDir().mkpath(folders.ports)) {
    if (error) *error = QStringLiteral("cannot make %1").arg(folders.ports);
    return 0;
  }
  const QString target = entry.byId.isEmpty() ? entry.port.device : entry.byId;
  for (int n = 1; n < 100000; ++n) {
    if (taken.contains(n)) continue;
    const QString link = QDir(folders.ports).filePath(QStringLiteral("com%1").arg(n));
    if (QFile::link(target, link)) return n;
    // Another program took this number meanwhile: the next one. Anything else is an error.
    if (!QFileInfo(link).exists() && !QFileInfo(link).isSymLink()) {
      if (error) *error = QStringLiteral("cannot make %1").arg(link);
      return 0;
    }
  }
  if (error) *error = QStringLiteral("no free number");
  return 0;
#endif
}

}  // namespace lorvane
