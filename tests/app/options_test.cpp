// The program's command line: what runs, what answers and ends, and what is refused.
#include <gtest/gtest.h>

#include "app/options.h"

using lorvane::app::Options;
using lorvane::app::parseOptions;

namespace {

Options parse(QStringList args) {
  args.prepend(QStringLiteral("/usr/bin/lorvane"));
  return parseOptions(args, QStringLiteral("0.1"));
}

TEST(Options, WhatRunsAndWhatEnds) {
  const struct {
    QStringList args;
    Options::Action action;
    int exitCode;
    QString traceFile;
  } cases[] = {
      {{}, Options::Action::Run, 0, {}},
      {{"--trace", "/tmp/t.txt"}, Options::Action::Run, 0, "/tmp/t.txt"},
      {{"--trace=/tmp/t.txt"}, Options::Action::Run, 0, "/tmp/t.txt"},
      {{"-platform", "offscreen"}, Options::Action::Run, 0, {}},  // Qt's own, for QApplication
      {{"--help"}, Options::Action::Help, 0, {}},
      {{"-h"}, Options::Action::Help, 0, {}},
      {{"--version"}, Options::Action::Version, 0, {}},
      {{"--frobnicate"}, Options::Action::Error, 2, {}},
      {{"-x"}, Options::Action::Error, 2, {}},
      {{"--trace"}, Options::Action::Error, 2, {}},      // no file named
      {{"--trace", ""}, Options::Action::Error, 2, {}},
      {{"trace.txt"}, Options::Action::Error, 2, {}},    // not an option at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Options o = parse(c.args);
    EXPECT_EQ(o.action, c.action);
    EXPECT_EQ(o.exitCode, c.exitCode);
    EXPECT_EQ(o.traceFile, c.traceFile);
  }
}

TEST(Options, AnswersSayWhatTheyShould) {
  const Options help = parse({"--help"});
  EXPECT_TRUE(help.text.startsWith("Usage: lorvane [options]")) << help.text.toStdString();
  EXPECT_TRUE(help.text.contains("--trace <FILE>"));
  EXPECT_TRUE(help.text.contains("--version"));
  EXPECT_FALSE(help.text.contains("platform")) << "Qt's own options are not listed";

  EXPECT_EQ(parse({"--version"}).text, "Lorvane 0.1\n");

  const Options unknown = parse({"--frobnicate"});
  EXPECT_TRUE(unknown.text.startsWith("lorvane: ")) << unknown.text.toStdString();
  EXPECT_TRUE(unknown.text.contains("frobnicate"));
  EXPECT_TRUE(unknown.text.contains("lorvane --help"));
  EXPECT_TRUE(parse({"extra"}).text.contains("extra"));
}

}  // namespace
