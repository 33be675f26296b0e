// One range per register: a start input the step pages refuse to download is also refused in a
// backup that is to be restored, with the same range named.
#include <gtest/gtest.h>

#include "link/exchange.h"
#include "projects/backup_file.h"
#include "screen_env.h"
#include "ui/session.h"

using namespace lorvane;
using lorvane::test::ScreenEnv;

namespace {

TEST(Ranges, StartInputRefusedByThePagesAndInABackup) {
  struct Page {
    const char* form;
    int entry;  // the step function that opens it
    const char* field;
    const char* download;
    const char* name;  // the register's name in a backup
  };
  const Page pages[] = {
      {"Mainfrm17", 3, "SRtxt", "SScmd", "x.startInput"},
      {"Mainfrm15", 2, "RLtxt", "SScmd", "y.startInput"},
      {"Mainfrm14", 1, "RLtxt", "SAcmd", "x.startInput"},
  };
  for (const Page& p : pages) {
    SCOPED_TRACE(p.form);
    ScreenEnv env;
    ui::session().entryFunction = p.entry;
    ASSERT_NE(env.openDirect(p.form), nullptr);
    ASSERT_TRUE(env.tickUntil([&] { return env.currentScreen()->exchange().lastRead(p.field).has_value(); }));
    env.ticks(40);  // a whole read cycle and more
    env.type(p.field, "14");
    env.click(p.download);
    EXPECT_EQ(env.boxes, QStringList{"输入的信号范围不在1-13内"});
    env.ticks(5);
    EXPECT_TRUE(env.takeWrites().isEmpty());

    projects::Backup b;
    projects::ProjectData project{1, {{"project.stepCount", 1}}, {projects::Values{{p.name, 14}}}};
    b.projects << project;
    EXPECT_EQ(projects::outOfRange(b),
              QStringList{QStringLiteral("project 1 step 1: %1 = 14 is outside the range 1-13 the screens allow").arg(p.name)});
  }
}

}  // namespace
