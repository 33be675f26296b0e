// A backup is written whole or not at all: a save over an earlier backup that fails part way
// (the disk fills up while the new file is being written) leaves the earlier file exactly as it
// was, leaves no half-written file beside it, and says that nothing was written. Held for the
// library's save and for the commands that write a file: from-sim (a backup) and to-sim (the
// simulator's state).
//
// A full disk is made with the file size limit of the process (RLIMIT_FSIZE): a write beyond it
// fails with EFBIG, as a write to a full disk fails with ENOSPC, once part of the file is written.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "projects/backup_file.h"

using namespace lorvane::projects;

namespace {

// Every file this process writes from now on fills the disk after `bytes`, until the guard goes.
class DiskFullAfter {
 public:
  explicit DiskFullAfter(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the program
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~DiskFullAfter() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  DiskFullAfter(const DiskFullAfter&) = delete;
  DiskFullAfter& operator=(const DiskFullAfter&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
};

// Projects 1..n with `steps` steps each; values that differ from project to project.
Backup backupOf(int projects, int steps) {
  Backup b;
  b.date = QDateTime(QDate(2024, 3, projects), QTime(8, 0), Qt::UTC);
  for (int n = 1; n <= projects; ++n) {
    ProjectData p{n, {{"project.stepCount", steps}, {"project.loops", 0}, {"project.speedOverride", 100}, {"project.next", 0}}, {}};
    for (int s = 1; s <= steps; ++s) {
      Values v;
      for (const auto& [name, r] : stepNames()) v[name] = (n * 100 + s) % 2 ? 1 : 0;
      v["hub.startDelay"] = n * 100 + s;
      p.steps << v;
    }
    b.projects << p;
  }
  return b;
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Qt's file classes keep up to 16 kB in a write buffer: a small file is written only at the
// commit, a large one as it goes. Both must fail whole.
constexpr qsizetype kWriteBuffer = 16 * 1024;

TEST(BackupWrite, ASaveThatFailsPartWayLeavesTheEarlierBackupWhole) {
  const Backup newer[] = {backupOf(3, 0), backupOf(10, 5)};
  ASSERT_LT(toJson(newer[0]).size(), kWriteBuffer);
  ASSERT_GT(toJson(newer[1]).size(), 4 * kWriteBuffer);
  for (const Backup& b : newer) {
    SCOPED_TRACE(toJson(b).size());
    QTemporaryDir dir;
    const QString path = dir.filePath("projects.json");
    QString error;
    ASSERT_TRUE(save(backupOf(2, 1), path, &error)) << error.toStdString();
    const QByteArray earlier = contents(path);
    bool saved = true;
    {
      DiskFullAfter full(static_cast<rlim_t>(toJson(b).size() / 2));
      saved = save(b, path, &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains("earlier file")) << error.toStdString();
    EXPECT_TRUE(contents(path) == earlier) << "the earlier backup, byte for byte";
    const auto back = load(path, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->projects, backupOf(2, 1).projects);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"projects.json"})
        << "nothing half-written beside it";
  }
}

struct Outcome {
  int status = -1;
  QString err;
};

// lorvane-projects with a disk that fills up after `bytes` of any file it writes.
Outcome runOnFullDisk(const QStringList& args, qint64 bytes) {
  QProcess p;
  p.setChildProcessModifier([bytes] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  p.start(QStringLiteral(LORVANE_PROJECTS_PATH), args);
  p.closeWriteChannel();
  if (!p.waitForFinished(30000)) return {};
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

TEST(BackupWrite, CommandsThatFailPartWayLeaveTheEarlierFileWholeAndSaySo) {
  QTemporaryDir dir;
  // A simulator's state with ten projects of five steps, and a backup of the same.
  const QString state = dir.filePath("state.json");
  {
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toSimState(backupOf(10, 5)));
  }
  QString error;
  const auto fromState = fromSimState(contents(state), &error);
  ASSERT_TRUE(fromState) << error.toStdString();
  const QString earlierBackup = dir.filePath("earlier.json");
  ASSERT_TRUE(save(backupOf(1, 1), earlierBackup, &error));
  const QString earlierState = dir.filePath("earlier-state.json");
  {
    QFile f(earlierState);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toSimState(backupOf(1, 1)));
  }
  const QString newBackup = dir.filePath("new.json");
  ASSERT_TRUE(save(backupOf(10, 5), newBackup, &error));
  // And small ones, written out only when the file is committed.
  const QString emptyState = dir.filePath("empty-state.json");
  {
    QFile f(emptyState);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"format": "lorvane-sim state 1", "projects": []})");
  }
  const auto fromEmpty = fromSimState(contents(emptyState), &error);
  ASSERT_TRUE(fromEmpty) << error.toStdString();
  ASSERT_LT(toJson(*fromEmpty).size(), kWriteBuffer);
  const QString smallBackup = dir.filePath("small.json");
  ASSERT_TRUE(save(backupOf(3, 0), smallBackup, &error));
  ASSERT_LT(toSimState(backupOf(3, 0), contents(earlierState)).size(), kWriteBuffer);

  struct Case {
    QStringList args;
    QString target;   // the file written over
    qint64 newSize;   // what it would hold once written whole
  };
  const Case cases[] = {
      {{"from-sim", state, earlierBackup}, earlierBackup, toJson(*fromState).size()},
      {{"from-sim", emptyState, earlierBackup}, earlierBackup, toJson(*fromEmpty).size()},
      {{"to-sim", newBackup, earlierState}, earlierState, toSimState(backupOf(10, 5), contents(earlierState)).size()},
      {{"to-sim", smallBackup, earlierState}, earlierState, toSimState(backupOf(3, 0), contents(earlierState)).size()},
  };
  for (const Case& c : cases) {
    const QString label = c.args.join(' ');
    const QByteArray before = contents(c.target);
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    const Outcome r = runOnFullDisk(c.args, c.newSize / 2);
    EXPECT_EQ(r.status, 1) << label.toStdString() << "\n" << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.target)) << label.toStdString() << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("earlier file")) << label.toStdString() << ": " << r.err.toStdString();
    EXPECT_TRUE(contents(c.target) == before) << label.toStdString() << ": the earlier file, byte for byte";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore) << label.toStdString();
  }
}

}  // namespace
