#include "projects/backup_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>
#include <cmath>

#include "frames/registers.h"
#include "frames/state_file.h"

namespace lorvane::projects {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("lorvane-projects", text); }

QString hexAddress(std::uint16_t a) { return QString::number(a, 16).toUpper(); }

QJsonObject entry(const reg::Banked& r, std::int64_t raw) {
  QJsonObject o{{"address", hexAddress(r.address)}, {"value", reg::shownValue(r, raw)}, {"raw", double(raw)}};
  if (*r.unit) o.insert("unit", QString::fromLatin1(r.unit));
  return o;
}

QJsonObject entries(const QList<std::pair<QString, const reg::Banked*>>& names, const Values& values) {
  QJsonObject o;
  for (const auto& [name, r] : names) o.insert(name, entry(*r, values.value(name)));
  return o;
}

QList<std::pair<QString, const reg::Banked*>> projectNames() {
  QList<std::pair<QString, const reg::Banked*>> names;
  for (const reg::Banked& r : reg::projectRegisters()) names.append({QString::fromLatin1(r.name), &r});
  return names;
}

// One register of a file: the value in the screens' units and the raw value must say the same
// where both are given; either alone is enough.
bool readEntry(const QJsonValue& v, const QString& name, const reg::Banked& r, std::int64_t* raw, QString* error) {
  const QJsonObject o = v.toObject();
  const QJsonValue shown = o.value("value");
  const QJsonValue rawV = o.value("raw");
  std::int64_t fromShown = 0;
  std::int64_t fromRaw = 0;
  const bool haveShown = shown.isDouble() && reg::rawValue(r, shown.toDouble(), &fromShown);
  reg::Banked unscaled = r;
  unscaled.scale = 1;
  const bool haveRaw = rawV.isDouble() && reg::rawValue(unscaled, rawV.toDouble(), &fromRaw);
  if ((!shown.isUndefined() && !haveShown) || (!rawV.isUndefined() && !haveRaw) || (!haveShown && !haveRaw)) {
    *error = tr("%1: not a value the register %2 can hold").arg(name, hexAddress(r.address));
    return false;
  }
  if (haveShown && haveRaw && fromShown != fromRaw) {
    *error = tr("%1: value %2 and raw %3 disagree").arg(name).arg(shown.toDouble()).arg(fromRaw);
    return false;
  }
  *raw = haveRaw ? fromRaw : fromShown;
  return true;
}

bool readEntries(const QJsonObject& o, const QList<std::pair<QString, const reg::Banked*>>& names, const QString& where,
                 Values* out, QString* error) {
  for (const auto& [name, r] : names) {
    if (!o.contains(name)) {
      *error = tr("%1: %2 is missing").arg(where, name);
      return false;
    }
    QString why;
    if (!readEntry(o.value(name), name, *r, &(*out)[name], &why)) {
      *error = where + QStringLiteral(": ") + why;
      return false;
    }
  }
  for (auto it = o.begin(); it != o.end(); ++it) {
    if (!out->contains(it.key())) {
      *error = tr("%1: %2 is not a register of the controller").arg(where, it.key());
      return false;
    }
  }
  return true;
}

QString number(double v) { return QString::number(v, 'g', 12); }

}  // namespace

const ProjectData* Backup::project(int number) const {
  for (const ProjectData& p : projects)
    if (p.number == number) return &p;
  return nullptr;
}

QString aName(const reg::Banked& r) { return QStringLiteral("a.") + QString::fromLatin1(r.name).mid(2); }

QList<std::pair<QString, const reg::Banked*>> stepNames() {
  QList<std::pair<QString, const reg::Banked*>> names;
  for (const reg::Banked& r : reg::stepRegisters()) names.append({QString::fromLatin1(r.name), &r});
  for (const reg::Banked& r : reg::stepRegisters())
    if (r.zaShared) names.append({aName(r), &r});
  return names;
}

QString stepFunction(const Values& s) {
  if (s.value("hub.arc") == 1) return QStringLiteral("arc");
  if (s.value("hub.line") == 1) return QStringLiteral("line");
  const std::int64_t normal = s.value("hub.normalMode");
  if (normal == 3) return QStringLiteral("teach");
  if (std::all_of(s.begin(), s.end(), [](std::int64_t v) { return v == 0; })) return QStringLiteral("not set");
  static const char* const axes[] = {"ZA", "ZCA", "XYZCA"};
  return normal >= 0 && normal <= 2 ? QStringLiteral("normal %1").arg(QLatin1String(axes[normal]))
                                    : QStringLiteral("normal (mode %1)").arg(normal);
}

QByteArray toJson(const Backup& b) {
  QJsonArray projects;
  for (const ProjectData& p : b.projects) {
    QJsonArray steps;
    for (qsizetype i = 0; i < p.steps.size(); ++i)
      steps.append(QJsonObject{{"step", int(i + 1)},
                               {"function", stepFunction(p.steps[i])},
                               {"registers", entries(stepNames(), p.steps[i])}});
    projects.append(QJsonObject{{"project", p.number},
                                {"stepCount", p.stepCount()},
                                {"registers", entries(projectNames(), p.registers)},
                                {"steps", steps}});
  }
  const QJsonObject root{{"format", QString::fromLatin1(kFormat)},
                         {"version", kVersion},
                         {"date", b.date.toUTC().toString(Qt::ISODate)},
                         {"projects", projects}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Backup> fromJson(const QByteArray& json, QString* error) {
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
  if (doc.isNull() || !doc.isObject()) {
    *error = tr("not a backup file (%1)").arg(doc.isNull() ? parse.errorString() : tr("no JSON object"));
    return std::nullopt;
  }
  const QJsonObject root = doc.object();
  if (root.value("format").toString() != QLatin1String(kFormat)) {
    *error = tr("not a backup file of lorvane-projects (format \"%1\")").arg(root.value("format").toString());
    return std::nullopt;
  }
  if (root.value("version").toInt(-1) != kVersion) {
    *error = tr("backup file version %1, this program reads version %2")
                 .arg(root.value("version").isDouble() ? root.value("version").toVariant().toString()
                                                       : QStringLiteral("\"%1\"").arg(root.value("version").toVariant().toString()))
                 .arg(kVersion);
    return std::nullopt;
  }
  Backup b;
  b.date = QDateTime::fromString(root.value("date").toString(), Qt::ISODate);
  for (const QJsonValue& pv : root.value("projects").toArray()) {
    const QJsonObject po = pv.toObject();
    ProjectData p;
    p.number = po.value("project").toInt();
    const QString where = tr("project %1").arg(p.number);
    if (p.number < 1 || p.number > kProjects || b.project(p.number)) {
      *error = tr("project number %1 is not 1..%2 or comes twice").arg(p.number).arg(kProjects);
      return std::nullopt;
    }
    if (!readEntries(po.value("registers").toObject(), projectNames(), where, &p.registers, error)) return std::nullopt;
    const QJsonArray steps = po.value("steps").toArray();
    if (p.stepCount() > kMaxSteps || steps.size() != p.stepCount()) {
      *error = tr("%1: step count %2 but %3 steps").arg(where).arg(p.stepCount()).arg(steps.size());
      return std::nullopt;
    }
    for (qsizetype i = 0; i < steps.size(); ++i) {
      Values v;
      if (!readEntries(steps[i].toObject().value("registers").toObject(), stepNames(),
                       tr("project %1 step %2").arg(p.number).arg(i + 1), &v, error))
        return std::nullopt;
      p.steps << v;
    }
    b.projects << p;
  }
  return b;
}

bool writeFileWhole(const QString& path, const QByteArray& data, QString* error) {
  const bool earlier = QFile::exists(path);
  QSaveFile file(path);
  // What is still in the write buffer is written before the commit and checked here: commit()
  // writes it out too but does not report a disk that fills up then, and would put the half
  // file in place of the earlier one.
  if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush() && file.commit()) return true;
  *error = earlier ? tr("%1: %2; the earlier file is left as it was").arg(path, file.errorString())
                   : tr("%1: %2").arg(path, file.errorString());
  return false;
}

bool save(const Backup& backup, const QString& path, QString* error) { return writeFileWhole(path, toJson(backup), error); }

std::optional<Backup> load(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = tr("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  QString why;
  auto b = fromJson(file.readAll(), &why);
  if (!b) *error = tr("%1: %2").arg(path, why);
  return b;
}

// ---- the summary -----------------------------------------------------------------------------

namespace {

QString shown(const Values& s, const QString& name) {
  const reg::Banked* r = reg::bankedNamed(name.startsWith("a.") ? QStringLiteral("z.") + name.mid(2) : name);
  if (!r) return QString::number(s.value(name));
  const QString unit = QString::fromLatin1(r->unit);
  return number(reg::shownValue(*r, s.value(name))) + (unit.isEmpty() ? QString() : QStringLiteral(" ") + unit);
}

// One axis of a normal step: what it does, if anything.
QString axisLine(const Values& s, const QString& prefix, const QString& letter) {
  const std::int64_t mode = s.value(prefix + "runMode");
  if (mode == 0) return {};
  static const char* const modes[] = {"hold", "home", "move", "move on condition"};
  QString text = letter + QStringLiteral(" ") + (mode <= 3 ? QString::fromLatin1(modes[mode]) : QStringLiteral("mode %1").arg(mode));
  if (mode >= 2) {
    text += QStringLiteral(" %1%2 at %3").arg(s.value(prefix + "absolute") == 1 ? QStringLiteral("to ") : QStringLiteral("by "),
                                             shown(s, prefix + "distance"), shown(s, prefix + "speed"));
    if (s.value(prefix + "direction") == 1) text += QStringLiteral(" reverse");
  }
  if (const std::int64_t in = s.value(prefix + "startInput"); in != 0) text += QStringLiteral(", on L%1").arg(in);
  return text;
}

QStringList stepDetails(const Values& s) {
  const QString f = stepFunction(s);
  QStringList parts;
  if (f == QLatin1String("arc")) {
    parts << QStringLiteral("centre (%1, %2) end (%3, %4) %5 at %6")
                 .arg(shown(s, "arc.centreX"), shown(s, "arc.centreY"), shown(s, "arc.endX"), shown(s, "arc.endY"),
                      s.value("arc.direction") == 1 ? QStringLiteral("counter-clockwise") : QStringLiteral("clockwise"),
                      shown(s, "arc.speed"));
    if (s.value("x.startInput") != 0) parts << QStringLiteral("on L%1").arg(s.value("x.startInput"));
  } else if (f == QLatin1String("line")) {
    parts << QStringLiteral("end (%1, %2) at %3").arg(shown(s, "line.endX"), shown(s, "line.endY"), shown(s, "line.speed"));
    if (s.value("y.startInput") != 0) parts << QStringLiteral("on L%1").arg(s.value("y.startInput"));
  } else if (f == QLatin1String("teach")) {
    for (const char* axis : {"x", "y", "z", "c"}) {
      const QString a = QString::fromLatin1(axis);
      if (s.value("teach." + a + "Mode") != 0) continue;
      parts << QStringLiteral("%1 %2 pulses speed %3").arg(a.toUpper()).arg(s.value("teach." + a + "Pulses")).arg(s.value("teach." + a + "Speed"));
    }
  } else if (f.startsWith(QLatin1String("normal"))) {
    const QString za = s.value("z.replacedByA") == 1 ? QStringLiteral("a.") : QStringLiteral("z.");
    const QString zaLetter = s.value("z.replacedByA") == 1 ? QStringLiteral("A") : QStringLiteral("Z");
    for (const auto& [prefix, letter] : {std::pair{QStringLiteral("x."), QStringLiteral("X")}, {QStringLiteral("y."), QStringLiteral("Y")},
                                          {za, zaLetter}, {QStringLiteral("c."), QStringLiteral("C")}})
      if (const QString line = axisLine(s, prefix, letter); !line.isEmpty()) parts << line;
  }
  if (s.value("hub.startDelay") != 0) parts << QStringLiteral("start delay ") + shown(s, "hub.startDelay");
  if (s.value("timing.endDelay") != 0) parts << QStringLiteral("end delay ") + shown(s, "timing.endDelay");
  QStringList outs;
  for (int g = 1; g <= 4; ++g)
    if (const std::int64_t y = s.value(QStringLiteral("direct%1.output").arg(g)); y != 0)
      outs << QStringLiteral("Y%1 %2").arg(y).arg(s.value(QStringLiteral("direct%1.state").arg(g)) == 0 ? "ON" : "OFF");
  for (int g = 1; g <= 3; ++g)
    if (const std::int64_t y = s.value(QStringLiteral("cond%1.output").arg(g)); y != 0)
      outs << QStringLiteral("Y%1 %2 if L%3").arg(y).arg(s.value(QStringLiteral("cond%1.outputState").arg(g)) == 0 ? "ON" : "OFF")
                  .arg(s.value(QStringLiteral("cond%1.input").arg(g)));
  if (!outs.isEmpty()) parts << QStringLiteral("outputs ") + outs.join(QStringLiteral(", "));
  if (s.value("timing.loopCount") != 0)
    parts << QStringLiteral("loop steps %1-%2 %3 times").arg(s.value("timing.loopFrom")).arg(s.value("timing.loopTo")).arg(s.value("timing.loopCount"));
  return parts;
}

}  // namespace

QString summary(const Backup& b) {
  QStringList lines;
  lines << tr("Backup of %1, %2 projects").arg(b.date.toUTC().toString(Qt::ISODate)).arg(b.projects.size());
  for (const ProjectData& p : b.projects) {
    const Values& r = p.registers;
    QString head = tr("Project %1: %2 steps, speed %3%").arg(p.number).arg(p.stepCount()).arg(r.value("project.speedOverride"));
    if (r.value("project.loops") == 1) head += tr(", loops");
    else if (r.value("project.next") != 0) head += tr(", then project %1").arg(r.value("project.next"));
    lines << head;
    for (qsizetype i = 0; i < p.steps.size(); ++i) {
      const QStringList details = stepDetails(p.steps[i]);
      lines << QStringLiteral("  step %1: %2%3")
                   .arg(i + 1, 2)
                   .arg(stepFunction(p.steps[i]), details.isEmpty() ? QString() : QStringLiteral(": ") + details.join(QStringLiteral("; ")));
    }
  }
  return lines.join('\n') + '\n';
}

// ---- the simulator's state file ----------------------------------------------------------------

namespace {

std::int64_t wordsValue(const reg::Banked& r, const state::Words& words) {
  const auto word = [&](std::uint16_t a) { return static_cast<std::uint32_t>(words.value(a)); };
  if (r.count == 1) return word(r.address);
  return static_cast<std::int32_t>((word(static_cast<std::uint16_t>(r.address + 1)) << 16) | word(r.address));
}

void putWords(const reg::Banked& r, std::int64_t raw, state::Words* words, bool skipZero) {
  const auto put = [&](std::uint16_t a, std::uint32_t v) {
    if (v != 0 || !skipZero) words->insert(a, static_cast<std::uint16_t>(v & 0xFFFF));
  };
  const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(raw));
  put(r.address, r.count == 1 ? static_cast<std::uint32_t>(raw) : u & 0xFFFF);
  if (r.count == 2) put(static_cast<std::uint16_t>(r.address + 1), u >> 16);
}

}  // namespace

std::optional<Backup> fromSimState(const QByteArray& json, QString* error) {
  const std::optional<state::File> file = state::fromJson(json, error);
  if (!file) return std::nullopt;
  Backup b;
  b.date = QDateTime::currentDateTimeUtc();
  for (int n = 1; n <= kProjects; ++n) {
    ProjectData p;
    p.number = n;
    const state::Project kept = file->projects.value(n);
    for (const reg::Banked& r : reg::projectRegisters()) p.registers[QString::fromLatin1(r.name)] = wordsValue(r, kept.registers);
    // A project the simulator never kept has the speed at 100 %, as the simulator starts it.
    if (!file->projects.contains(n)) p.registers["project.speedOverride"] = 100;
    const int count = std::min<int>(p.stepCount(), kMaxSteps);
    p.registers["project.stepCount"] = count;
    for (int s = 1; s <= count; ++s) {
      Values v;
      for (const reg::Banked& r : reg::stepRegisters()) {
        v[QString::fromLatin1(r.name)] = wordsValue(r, kept.steps.value(s));
        if (r.zaShared) v[aName(r)] = wordsValue(r, kept.aSteps.value(s));
      }
      p.steps << v;
    }
    b.projects << p;
  }
  return b;
}

QByteArray toSimState(const Backup& b, const QByteArray& existing) {
  QString ignored;
  state::File file = state::fromJson(existing, &ignored).value_or(state::File{});
  for (const ProjectData& p : b.projects) {
    state::Project kept;
    for (const reg::Banked& r : reg::projectRegisters()) putWords(r, p.registers.value(QString::fromLatin1(r.name)), &kept.registers, false);
    for (qsizetype i = 0; i < p.steps.size(); ++i) {
      state::Words words, aWords;
      for (const reg::Banked& r : reg::stepRegisters()) {
        putWords(r, p.steps[i].value(QString::fromLatin1(r.name)), &words, true);
        if (r.zaShared) putWords(r, p.steps[i].value(aName(r)), &aWords, true);
      }
      if (!words.isEmpty()) kept.steps.insert(int(i + 1), words);
      if (!aWords.isEmpty()) kept.aSteps.insert(int(i + 1), aWords);
    }
    file.projects.insert(p.number, kept);
  }
  return state::toJson(file);
}

// ---- values the screens would refuse ---------------------------------------------------------------

QStringList outOfRange(const Backup& b, const QList<int>& projects) {
  QStringList faults;
  const auto check = [&](const Values& values, const QList<std::pair<QString, const reg::Banked*>>& names, const QString& where) {
    for (const auto& [name, r] : names) {
      const std::int64_t raw = values.value(name);
      // 0 is what the controller holds in a register nobody set (a cleared step), in range or not.
      if (raw == 0 || reg::inRange(*r, raw)) continue;
      faults << tr("%1: %2 = %3 is outside the range %4 the screens allow")
                    .arg(where, name)
                    .arg(number(reg::shownValue(*r, raw)))
                    .arg(reg::rangeText(*r));
    }
  };
  for (const ProjectData& p : b.projects) {
    if (!projects.isEmpty() && !projects.contains(p.number)) continue;
    check(p.registers, projectNames(), tr("project %1").arg(p.number));
    for (qsizetype i = 0; i < p.steps.size(); ++i) check(p.steps[i], stepNames(), tr("project %1 step %2").arg(p.number).arg(i + 1));
  }
  return faults;
}

}  // namespace lorvane::projects
