// The command line of lorvane-projects: bad usage is exit status 2 with the reason, a missing
// file, a file of another version and a port that cannot be opened are status 1 with a message
// that says which.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "projects/backup_file.h"

using namespace lorvane::projects;

namespace {

struct Outcome {
  int status;
  QString out;
  QString err;
};

Outcome run(const QStringList& args, const QString& portsFolder) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LORVANE_PORTS", portsFolder);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(LORVANE_PROJECTS_PATH), args);
  p.closeWriteChannel();
  if (!p.waitForFinished(30000)) return {-1, {}, {}};
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(CommandLine, StatusAndMessage) {
  QTemporaryDir dir;
  const QString good = dir.filePath("good.json");
  Backup b;
  b.date = QDateTime::currentDateTimeUtc();
  b.projects << ProjectData{1, {{"project.stepCount", 0}, {"project.loops", 0}, {"project.speedOverride", 100}, {"project.next", 0}}, {}};
  QString error;
  ASSERT_TRUE(save(b, good, &error));
  const QString newer = dir.filePath("newer.json");
  {
    QFile f(newer);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toJson(b).replace("\"version\": 1", "\"version\": 2"));
  }
  // A value the screens refuse (start input 99, they take 0..13): the restore is refused before
  // the port is even opened, naming where the value is.
  const QString outOfRange = dir.filePath("out-of-range.json");
  {
    Backup bad = b;
    bad.projects[0].registers["project.stepCount"] = 1;
    Values step;
    for (const auto& [name, r] : stepNames()) step[name] = 0;
    step["x.startInput"] = 99;
    bad.projects[0].steps << step;
    ASSERT_TRUE(save(bad, outOfRange, &error));
  }
  // Port 9 names something that is not a serial device.
  QFile::link(good, dir.filePath("com9"));

  struct Case {
    QStringList args;
    int status;
    const char* says;  // in standard error, or standard output when the status is 0
  };
  const Case cases[] = {
      {{}, 2, "no command given"},
      {{"frobnicate", good}, 2, "unknown command \"frobnicate\""},
      {{"backup", good}, 2, "backup needs --port N"},
      {{"show"}, 2, "show takes 1 file name(s)"},
      {{"show", "--port", "1", good}, 2, "show takes no --port"},
      {{"restore", "--port", "1", "--project", "11", good}, 2, "--project K is for restore, K in 1..10"},
      {{"backup", "--port", "1", "--yes", good}, 2, "--yes is for restore"},
      {{"backup", "--bogus", good}, 2, "Unknown option 'bogus'"},
      {{"show", dir.filePath("missing.json")}, 1, "missing.json"},
      {{"show", newer}, 1, "backup file version 2, this program reads version 1"},
      {{"restore", "--port", "1", newer}, 1, "backup file version 2"},
      {{"from-sim", good, dir.filePath("out.json")}, 1, "not a lorvane-sim state file"},
      {{"backup", "--port", "9", dir.filePath("b.json")}, 1, "port 9 ("},
      {{"restore", "--port", "9", "--yes", outOfRange}, 1, "project 1 step 1: x.startInput = 99 is outside the range 1-13"},
      {{"restore", "--port", "9", "--yes", outOfRange}, 1, "nothing was written"},
      {{"show", good}, 0, "Project 1: 0 steps, speed 100%"},
      {{"--help"}, 0, "restore --port N FILE"},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.args, dir.path());
    const QString label = c.args.join(' ');
    EXPECT_EQ(r.status, c.status) << label.toStdString() << "\n" << r.err.toStdString();
    const QString& text = c.status == 0 ? r.out : r.err;
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.says))) << label.toStdString() << ": " << text.toStdString();
  }
  EXPECT_FALSE(QFile::exists(dir.filePath("b.json")));
}

}  // namespace
