#include "sim/pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lorvane::sim {

namespace {
QString errnoText(const char* what) { return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))); }
}  // namespace

bool Pty::open(QString* error) {
  close();
  const auto fail = [&](const char* what) {
    if (error) *error = errnoText(what);
    close();
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail("posix_openpt");
  if (::grantpt(master_) != 0) return fail("grantpt");
  if (::unlockpt(master_) != 0) return fail("unlockpt");
  const char* name = ::ptsname(master_);
  if (!name) return fail("ptsname");
  device_ = QString::fromLocal8Bit(name);
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");

  // Raw 8-bit line on the terminal side: no echo, no line editing, no CR/LF translation. The
  // descriptor stays open for the simulator's whole life.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) return fail("open terminal side");
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) return fail("tcgetattr");
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  tio.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(slave_, TCSANOW, &tio) != 0) return fail("tcsetattr");
  return true;
}

void Pty::close() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  device_.clear();
}

QString portsFolder() {
  const QString env = qEnvironmentVariable("LORVANE_PORTS");
  if (!env.isEmpty()) return env;
  return QDir::homePath() + QStringLiteral("/.config/lorvane/ports");
}

QString makePortLink(int portNumber, const QString& target, QString* error) {
  const QString folder = portsFolder();
  if (!QDir().mkpath(folder)) {
    if (error) *error = QStringLiteral("cannot create %1").arg(folder);
    return {};
  }
  const QString link = QDir(folder).filePath(QStringLiteral("com%1").arg(portNumber));
  const QFileInfo old(link);
  if (old.isSymLink() || old.exists()) {
    if (!old.isSymLink()) {
      if (error) *error = QStringLiteral("%1 exists and is not a link").arg(link);
      return {};
    }
    QFile::remove(link);
  }
  if (!QFile::link(target, link)) {
    if (error) *error = QStringLiteral("cannot link %1 to %2").arg(link, target);
    return {};
  }
  return link;
}

}  // namespace lorvane::sim
