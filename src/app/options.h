#pragma once
// The program's command line: --trace FILE writes every frame on the line to FILE from the start
// (for a bug report), --help and --version answer and end the program, and Qt's own window
// options (-platform, -style, ...) pass through to Qt. Anything else is refused with exit status 2.
#include <QString>
#include <QStringList>

namespace lorvane::app {

struct Options {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  QString traceFile;  // empty: no trace
  // What to print before ending: the help or the version on standard output, an error on
  // standard error.
  QString text;
  int exitCode = 0;
};

// args as the program got them, args[0] being its name.
Options parseOptions(const QStringList& args, const QString& version);

}  // namespace lorvane::app
