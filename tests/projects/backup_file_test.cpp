// The backup file: values in the screens' units with the raw values beside them, both ways; a
// file of another format or version, or with a value the register cannot hold, is refused with a
// reason; the simulator's state file converts both ways.
#include <gtest/gtest.h>

#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "sim/model.h"
#include "projects/backup_file.h"

using namespace lorvane;
using namespace lorvane::projects;

namespace {

// A project whose every register has a value of its own (so a value put in the wrong place shows).
ProjectData filledProject(int number, int steps) {
  ProjectData p;
  p.number = number;
  p.registers = {{"project.stepCount", steps}, {"project.loops", 1}, {"project.speedOverride", 80}, {"project.next", 0}};
  for (int s = 1; s <= steps; ++s) {
    Values v;
    int k = 0;
    for (const auto& [name, r] : stepNames()) {
      ++k;
      v[name] = r->count == 2 ? (k % 2 ? -1 : 1) * (100000 * number + 1000 * s + k) : (number * 7 + s * 13 + k) % 65536;
    }
    v["z.replacedByA"] = s % 2;
    p.steps << v;
  }
  return p;
}

Backup sample() {
  Backup b;
  b.date = QDateTime(QDate(2026, 3, 1), QTime(8, 30), Qt::UTC);
  b.projects << filledProject(1, 2) << filledProject(4, 0) << filledProject(10, 3);
  return b;
}

QJsonObject stepRegistersJson(const QByteArray& json, int projectIndex, int stepIndex) {
  return QJsonDocument::fromJson(json)["projects"][projectIndex]["steps"][stepIndex]["registers"].toObject();
}

TEST(BackupFile, ValuesInTheScreensUnitsWithTheRawValues) {
  Backup b;
  b.date = QDateTime::currentDateTimeUtc();
  ProjectData p = filledProject(2, 1);
  struct Case {
    const char* name;
    std::int64_t raw;
    double shown;
    const char* address;
    const char* unit;
  };
  const Case cases[] = {
      {"line.endX", -2550, -25.5, "10F8", "mm"},   {"arc.centreY", 1, 0.01, "10F2", "mm"},
      {"z.distance", 123456, 1234.56, "1032", "mm"}, {"a.distance", -5, -0.05, "1032", "mm"},
      {"arc.speed", 300, 300, "10B4", "RPM"},       {"hub.startDelay", 65535, 65535, "1043", "ms"},
      {"teach.xPulses", -70000, -70000, "1074", ""}, {"direct1.output", 12, 12, "1034", ""},
  };
  for (const Case& c : cases) p.steps[0][c.name] = c.raw;
  b.projects << p;
  const QByteArray json = toJson(b);
  const QJsonObject regs = stepRegistersJson(json, 0, 0);
  for (const Case& c : cases) {
    const QJsonObject e = regs[c.name].toObject();
    EXPECT_EQ(e["raw"].toDouble(), double(c.raw)) << c.name;
    EXPECT_DOUBLE_EQ(e["value"].toDouble(), c.shown) << c.name;
    EXPECT_EQ(e["address"].toString(), c.address) << c.name;
    EXPECT_EQ(e["unit"].toString(), c.unit) << c.name;
  }
  QString error;
  const auto back = fromJson(json, &error);
  ASSERT_TRUE(back) << error.toStdString();
  EXPECT_EQ(back->projects, b.projects);
}

TEST(BackupFile, WholeBackupRoundTripsThroughTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("b.json");
  QString error;
  ASSERT_TRUE(save(sample(), path, &error)) << error.toStdString();
  const auto back = load(path, &error);
  ASSERT_TRUE(back) << error.toStdString();
  EXPECT_EQ(back->projects, sample().projects);
  EXPECT_EQ(back->date, sample().date);
  EXPECT_EQ(toJson(*back), toJson(sample()));
}

// A teacher may edit a value in millimetres and drop the raw one: the raw value follows. Where
// both are given they must agree.
TEST(BackupFile, EditedValuesAndTheirChecks) {
  struct Case {
    const char* what;
    QJsonValue value;
    QJsonValue raw;
    std::optional<std::int64_t> expect;
    const char* error;
  };
  const Case cases[] = {
      {"mm only", 12.34, QJsonValue::Undefined, 1234, ""},
      {"raw only", QJsonValue::Undefined, -77, -77, ""},
      {"disagree", 12.34, 1000, std::nullopt, "disagree"},
      {"finer than the register", 12.345, QJsonValue::Undefined, std::nullopt, "not a value the register 10F8 can hold"},
      {"beyond a pair", 3e7, QJsonValue::Undefined, std::nullopt, "not a value the register 10F8 can hold"},
      {"text", "twelve", QJsonValue::Undefined, std::nullopt, "not a value the register 10F8 can hold"},
      {"neither", QJsonValue::Undefined, QJsonValue::Undefined, std::nullopt, "not a value the register 10F8 can hold"},
  };
  for (const Case& c : cases) {
    QJsonObject root = QJsonDocument::fromJson(toJson(sample())).object();
    QJsonArray projects = root["projects"].toArray();
    QJsonObject project = projects[0].toObject();
    QJsonArray steps = project["steps"].toArray();
    QJsonObject step = steps[1].toObject();
    QJsonObject regs = step["registers"].toObject();
    QJsonObject e{{"address", "10F8"}};
    if (!c.value.isUndefined()) e["value"] = c.value;
    if (!c.raw.isUndefined()) e["raw"] = c.raw;
    regs["line.endX"] = e;
    step["registers"] = regs;
    steps[1] = step;
    project["steps"] = steps;
    projects[0] = project;
    root["projects"] = projects;
    QString error;
    const auto b = fromJson(QJsonDocument(root).toJson(), &error);
    if (c.expect) {
      ASSERT_TRUE(b) << c.what << ": " << error.toStdString();
      EXPECT_EQ(b->projects[0].steps[1].value("line.endX"), *c.expect) << c.what;
    } else {
      EXPECT_FALSE(b) << c.what;
      EXPECT_TRUE(error.contains(QLatin1String(c.error))) << c.what << ": " << error.toStdString();
      EXPECT_TRUE(error.contains(QLatin1String("project 1 step 2"))) << c.what << ": " << error.toStdString();
      EXPECT_TRUE(error.contains(QLatin1String("line.endX"))) << c.what << ": " << error.toStdString();
    }
  }
}

TEST(BackupFile, OtherFilesAreRefusedWithTheReason) {
  const QJsonObject good = QJsonDocument::fromJson(toJson(sample())).object();
  const auto with = [&](const char* key, const QJsonValue& v) {
    QJsonObject o = good;
    o[key] = v;
    return QJsonDocument(o).toJson();
  };
  // The good file with the first project's settings changed by edit.
  const auto withFirstProjectSettings = [&good](const std::function<void(QJsonObject&)>& edit) {
    QJsonObject file = good;
    QJsonArray projects = file["projects"].toArray();
    QJsonObject p = projects[0].toObject();
    QJsonObject regs = p["registers"].toObject();
    edit(regs);
    p["registers"] = regs;
    projects[0] = p;
    file["projects"] = projects;
    return file;
  };
  const QJsonObject missing = withFirstProjectSettings([](QJsonObject& regs) { regs.remove("project.loops"); });
  const QJsonObject unknownName =
      withFirstProjectSettings([](QJsonObject& regs) { regs["project.colour"] = QJsonObject{{"raw", 1}}; });
  QJsonObject wrongCount = good;
  {
    QJsonArray projects = wrongCount["projects"].toArray();
    QJsonObject p = projects[2].toObject();
    QJsonArray steps = p["steps"].toArray();
    steps.removeLast();
    p["steps"] = steps;
    projects[2] = p;
    wrongCount["projects"] = projects;
  }
  const std::pair<QByteArray, const char*> cases[] = {
      {"{ not json", "not a backup file"},
      {"[1, 2]", "not a backup file"},
      {with("format", "lorvane-sim state 1"), "format \"lorvane-sim state 1\""},
      {with("version", 2), "version 2"},
      {with("version", "1"), "version \"1\", this program reads version 1"},
      {QJsonDocument(missing).toJson(), "project 1: project.loops is missing"},
      {QJsonDocument(unknownName).toJson(), "project.colour is not a register"},
      {QJsonDocument(wrongCount).toJson(), "project 10: step count 3 but 2 steps"},
  };
  for (const auto& [json, reason] : cases) {
    QString error;
    EXPECT_FALSE(fromJson(json, &error)) << reason;
    EXPECT_TRUE(error.contains(QString::fromUtf8(reason))) << reason << " / " << error.toStdString();
  }
}

// A backup written as the simulator's state file is what the simulator then holds, and reads back
// as the same backup; the state file's other contents stay.
TEST(BackupFile, SimulatorStateBothWays) {
  QTemporaryDir dir;
  const QString state = dir.filePath("state.json");
  sim::ControllerModel first;
  first.writeRegister(0x1001, 777);  // an axis parameter, kept in the state file
  first.writeCoil(coil::SaveParameters, true);
  first.advance(1000);
  ASSERT_TRUE(first.save(state));
  QFile f(state);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray existing = f.readAll();
  f.close();
  const Backup b = sample();
  const QByteArray converted = toSimState(b, existing);
  QFile out(state);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(converted);
  out.close();

  sim::ControllerModel model;
  QString error;
  ASSERT_TRUE(model.load(state, &error)) << error.toStdString();
  EXPECT_EQ(model.reg(0x1001), 777);
  const ProjectData& p = b.projects[2];
  EXPECT_EQ(model.projectRegister(10, reg::StepCount), 3);
  EXPECT_EQ(model.projectRegister(10, reg::SpeedOverride), 80);
  for (int s = 1; s <= 3; ++s) {
    const std::int64_t endX = p.steps[s - 1].value("line.endX");
    const auto lo = static_cast<std::uint16_t>(static_cast<std::uint32_t>(endX) & 0xFFFF);
    EXPECT_EQ(model.stepRegister(10, s, reg::LineEndX), lo) << s;
    // The Z/A settings the step's 0x1055 selects are the ones the model shows.
    const bool a = p.steps[s - 1].value("z.replacedByA") == 1;
    EXPECT_EQ(model.stepRegister(10, s, reg::NormalSpeed[reg::Z]), p.steps[s - 1].value(a ? "a.speed" : "z.speed")) << s;
  }
  const auto back = fromSimState(converted, &error);
  ASSERT_TRUE(back) << error.toStdString();
  for (const ProjectData& want : b.projects) {
    const ProjectData* got = back->project(want.number);
    ASSERT_NE(got, nullptr) << want.number;
    EXPECT_EQ(*got, want) << want.number;
  }
  // Projects the backup does not hold come from a state file as the simulator starts them.
  EXPECT_EQ(back->project(2)->stepCount(), 0);
  EXPECT_EQ(back->project(2)->registers.value("project.speedOverride"), 100);
  EXPECT_FALSE(fromSimState(toJson(b), &error));
}

// The screens' ranges hold for a restore: each value outside them is named with its project, step
// and range; 0 (a register nobody set) passes, and only the projects asked for are checked.
TEST(BackupFile, ValuesTheScreensRefuseAreNamed) {
  Backup b;
  b.date = QDateTime::currentDateTimeUtc();
  for (int n : {1, 2}) {
    ProjectData p{n, {{"project.stepCount", 1}, {"project.loops", 0}, {"project.speedOverride", 100}, {"project.next", 0}}, {}};
    Values step;
    for (const auto& [name, r] : stepNames()) step[name] = 0;
    p.steps << step;
    b.projects << p;
  }
  EXPECT_EQ(outOfRange(b), QStringList{});
  struct Case {
    const char* name;
    std::int64_t raw;
    const char* fault;  // empty: in range
  };
  const Case cases[] = {
      {"x.startInput", 99, "project 1 step 1: x.startInput = 99 is outside the range 1-13"},
      {"x.startInput", 13, ""},
      {"a.startInput", 14, "project 1 step 1: a.startInput = 14 is outside the range 1-13"},
      {"arc.speed", 20, "project 1 step 1: arc.speed = 20 is outside the range 50-1000"},
      {"arc.speed", 0, ""},
      {"arc.speed", 1001, "project 1 step 1: arc.speed = 1001 is outside the range 50-1000"},
      {"direct2.output", 13, "project 1 step 1: direct2.output = 13 is outside the range 1-12"},
      {"x.runMode", 4, "project 1 step 1: x.runMode = 4 is outside the range 0-3"},
      {"x.distance", -123456, ""},
      {"project.speedOverride", 101, "project 1: project.speedOverride = 101 is outside the range 0-100"},
      {"project.next", 11, "project 1: project.next = 11 is outside the range 1-10"},
  };
  for (const Case& c : cases) {
    Backup one = b;
    Values& values = QString::fromLatin1(c.name).startsWith("project.") ? one.projects[0].registers : one.projects[0].steps[0];
    values[c.name] = c.raw;
    const QStringList faults = outOfRange(one);
    EXPECT_EQ(faults, *c.fault ? QStringList{QString::fromUtf8(c.fault) + " the screens allow"} : QStringList{})
        << c.name << " = " << c.raw;
    EXPECT_EQ(outOfRange(one, {2}), QStringList{}) << c.name;
  }
}

TEST(BackupFile, SummaryNamesEachStepsFunctionAndMainValues) {
  Backup b;
  b.date = QDateTime::currentDateTimeUtc();
  ProjectData p;
  p.number = 3;
  p.registers = {{"project.stepCount", 4}, {"project.loops", 0}, {"project.speedOverride", 90}, {"project.next", 5}};
  Values empty;
  for (const auto& [name, r] : stepNames()) empty[name] = 0;
  Values line = empty, arc = empty, normal = empty;
  line["hub.line"] = 1, line["hub.normalMode"] = 1, line["line.endX"] = 2000, line["line.endY"] = -150, line["line.speed"] = 300;
  arc["hub.arc"] = 1, arc["arc.centreX"] = 1000, arc["arc.endX"] = 2000, arc["arc.direction"] = 1, arc["arc.speed"] = 200;
  normal["hub.normalMode"] = 2, normal["z.replacedByA"] = 1, normal["a.runMode"] = 2, normal["a.distance"] = 1250,
  normal["a.speed"] = 60, normal["z.runMode"] = 2, normal["direct1.output"] = 3;
  p.steps << line << arc << normal << empty;
  b.projects << p;
  const QString text = summary(b);
  for (const char* expected : {"Project 3: 4 steps, speed 90%, then project 5",
                               "step  1: line: end (20 mm, -1.5 mm) at 300 RPM",
                               "step  2: arc: centre (10 mm, 0 mm) end (20 mm, 0 mm) counter-clockwise at 200 RPM",
                               "step  3: normal XYZCA: A move by 12.5 mm at 60 RPM; outputs Y3 ON",
                               "step  4: not set"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
}

}  // namespace
