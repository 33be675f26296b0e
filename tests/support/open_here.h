#pragma once
// How many descriptors this process holds open on a device (Linux): a port the program should
// have closed shows here.
#include <QDir>
#include <QFileInfo>
#include <QString>

namespace lorvane::test {

inline int openHere(const QString& device) {
  int n = 0;
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
    if (QFileInfo(fds.filePath(fd)).symLinkTarget() == device) ++n;
  return n;
}

}  // namespace lorvane::test
