// The register table of the backups against the step pages and the project screen: every banked
// register a page reads or writes is in the table with the same width and scale, and the table
// holds nothing that no page shows. A backup thus keeps what the operator sets, in the units the
// operator sees.
#include <gtest/gtest.h>

#include <QSet>
#include <memory>

#include "frames/registers.h"
#include "frames/step_registers.h"
#include "screens/project/arc_step.h"
#include "screens/project/axis_steps.h"
#include "screens/project/line_step.h"
#include "screens/project/outputs_step.h"
#include "screens/project/project_parameters.h"
#include "screens/project/step_functions.h"
#include "screens/project/teach_step.h"
#include "screens/project/timing_step.h"

using namespace lorvane;

namespace {

std::vector<std::unique_ptr<ui::Screen>> projectScreens() {
  std::vector<std::unique_ptr<ui::Screen>> s;
  s.push_back(std::make_unique<screens::ProjectParameters>());
  s.push_back(std::make_unique<screens::StepFunctions>());
  s.push_back(std::make_unique<screens::ArcStep>());
  s.push_back(std::make_unique<screens::LineStep>());
  s.push_back(std::make_unique<screens::TeachStep>());
  for (auto page : {screens::AxisPage::X, screens::AxisPage::Y, screens::AxisPage::C, screens::AxisPage::ZA})
    s.push_back(std::make_unique<screens::AxisStep>(page));
  s.push_back(std::make_unique<screens::DirectOutputStep>());
  s.push_back(std::make_unique<screens::ConditionedOutputStep>());
  s.push_back(std::make_unique<screens::TimingStep>());
  return s;
}

struct Use {
  QString screen;
  std::uint16_t address;
  int count;
  int scale;
};

QList<Use> bankedUses(ui::Screen& screen) {
  QList<Use> uses;
  const ScreenDecl& d = screen.exchange().declaration();
  for (const Read& r : d.reads)
    if (reg::banked(r.reg)) uses << Use{screen.objectName(), r.reg, r.count, r.scale};
  const auto steps = [&](const QList<Step>& list) {
    for (const Step& s : list)
      if (const auto* w = std::get_if<Write>(&s); w && reg::banked(w->reg))
        uses << Use{screen.objectName(), w->reg, w->count, w->scale};
  };
  for (const Sequence& s : d.sequences) {
    steps(s.steps);
    if (s.whenChanged) steps(s.whenChanged->steps);
  }
  return uses;
}

TEST(StepRegisters, AgreeWithEveryReadAndWriteOfTheProjectScreens) {
  QSet<std::uint16_t> seen;
  int uses = 0;
  for (const auto& screen : projectScreens()) {
    for (const Use& u : bankedUses(*screen)) {
      ++uses;
      const reg::Banked* r = reg::bankedAt(u.address);
      ASSERT_NE(r, nullptr) << u.screen.toStdString() << " uses " << std::hex << u.address << ", missing from the table";
      EXPECT_EQ(r->count, u.count) << u.screen.toStdString() << " " << r->name;
      EXPECT_EQ(r->scale, u.scale) << u.screen.toStdString() << " " << r->name;
      seen << u.address;
    }
  }
  EXPECT_GT(uses, 100);
  for (const auto& table : {reg::stepRegisters(), reg::projectRegisters()})
    for (const reg::Banked& r : table) EXPECT_TRUE(seen.contains(r.address)) << r.name << " is shown by no screen";
}

TEST(StepRegisters, NamesAreUniqueAndFindTheirEntry) {
  QSet<QString> names;
  for (const auto& table : {reg::stepRegisters(), reg::projectRegisters()})
    for (const reg::Banked& r : table) {
      EXPECT_FALSE(names.contains(QString::fromLatin1(r.name))) << r.name;
      names << QString::fromLatin1(r.name);
      EXPECT_EQ(reg::bankedNamed(QString::fromLatin1(r.name)), &r);
      EXPECT_EQ(reg::bankedAt(r.address), &r);
    }
}

TEST(StepRegisters, ValuesInTheScreensUnitsAndBack) {
  struct Case {
    const char* name;
    double shown;
    bool fits;
    std::int64_t raw;
  };
  const Case cases[] = {
      {"line.endX", -25.5, true, -2550},    {"line.endX", 0.01, true, 1},
      {"line.endX", 12.345, false, 0},      {"arc.speed", 65535, true, 65535},
      {"arc.speed", 65536, false, 0},       {"arc.speed", -1, false, 0},
      {"teach.xPulses", -70000, true, -70000}, {"z.distance", 21474836.47, true, 2147483647},
      {"z.distance", 21474836.48, false, 0},
  };
  for (const Case& c : cases) {
    const reg::Banked* r = reg::bankedNamed(QString::fromLatin1(c.name));
    ASSERT_NE(r, nullptr) << c.name;
    std::int64_t raw = 0;
    EXPECT_EQ(reg::rawValue(*r, c.shown, &raw), c.fits) << c.name << " " << c.shown;
    if (c.fits) {
      EXPECT_EQ(raw, c.raw) << c.name;
      EXPECT_DOUBLE_EQ(reg::shownValue(*r, raw), c.shown) << c.name;
    }
  }
}

}  // namespace
