#include "frames/state_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <functional>

#include "frames/registers.h"
#include "frames/step_registers.h"

namespace lorvane::state {

namespace {

QString hexKey(std::uint16_t address) { return QString::number(address, 16).toUpper(); }

QJsonObject wordsJson(const Words& words) {
  QJsonObject o;
  for (auto it = words.begin(); it != words.end(); ++it) o.insert(hexKey(it.key()), int(it.value()));
  return o;
}

QJsonObject stepsJson(const QMap<int, Words>& steps) {
  QJsonObject o;
  for (auto it = steps.begin(); it != steps.end(); ++it) o.insert(QString::number(it.key()), wordsJson(it.value()));
  return o;
}

using Kind = std::function<bool(std::uint16_t)>;

// Reads {"hex address": word} where every address is a register of the kind given.
bool readWords(const QJsonValue& v, const Kind& kind, const QString& where, Words* out, QString* error) {
  const QJsonObject o = v.toObject();
  for (auto it = o.begin(); it != o.end(); ++it) {
    bool ok = false;
    const uint a = it.key().toUInt(&ok, 16);
    if (!ok || a < reg::kFirst || a > reg::kLast || !kind(static_cast<std::uint16_t>(a))) {
      *error = QStringLiteral("%1: %2 is not a register kept there").arg(where, it.key());
      return false;
    }
    const double value = it.value().toDouble(-1);
    if (!it.value().isDouble() || value < 0 || value > 65535 || value != std::floor(value)) {
      *error = QStringLiteral("%1: %2 holds %3, not a register value (0..65535)")
                   .arg(where, it.key(), it.value().toVariant().toString());
      return false;
    }
    out->insert(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(value));
  }
  return true;
}

bool readSteps(const QJsonValue& v, const Kind& kind, const QString& where, QMap<int, Words>* out, QString* error) {
  const QJsonObject o = v.toObject();
  for (auto it = o.begin(); it != o.end(); ++it) {
    bool ok = false;
    const int s = it.key().toInt(&ok);
    if (!ok || s < 1 || s > kSteps) {
      *error = QStringLiteral("%1: step \"%2\" is not 1..%3").arg(where, it.key()).arg(kSteps);
      return false;
    }
    if (!readWords(it.value(), kind, QStringLiteral("%1 step %2").arg(where).arg(s), &(*out)[s], error)) return false;
  }
  return true;
}

bool single(std::uint16_t a) { return !reg::banked(a); }

}  // namespace

QByteArray toJson(const File& file) {
  QJsonArray projects;
  for (auto it = file.projects.begin(); it != file.projects.end(); ++it)
    projects.append(QJsonObject{{"project", it.key()},
                                {"registers", wordsJson(it->registers)},
                                {"steps", stepsJson(it->steps)},
                                {"a-steps", stepsJson(it->aSteps)}});
  const QJsonObject root{{"format", QString::fromLatin1(kFormat)}, {"parameters", wordsJson(file.parameters)}, {"projects", projects}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<File> fromJson(const QByteArray& json, QString* error) {
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
  const QJsonObject root = doc.object();
  if (doc.isNull() || root.value("format").toString() != QLatin1String(kFormat)) {
    *error = QStringLiteral("not a lorvane-sim state file") + (doc.isNull() ? QStringLiteral(" (%1)").arg(parse.errorString()) : QString());
    return std::nullopt;
  }
  File f;
  if (!readWords(root.value("parameters"), single, QStringLiteral("parameters"), &f.parameters, error)) return std::nullopt;
  for (const QJsonValue& pv : root.value("projects").toArray()) {
    const QJsonObject po = pv.toObject();
    const int n = po.value("project").toInt();
    if (n < 1 || n > kProjects || f.projects.contains(n)) {
      *error = QStringLiteral("project number %1 is not 1..%2 or comes twice").arg(n).arg(kProjects);
      return std::nullopt;
    }
    Project& p = f.projects[n];
    const QString where = QStringLiteral("project %1").arg(n);
    if (!readWords(po.value("registers"), reg::projectBanked, where, &p.registers, error) ||
        !readSteps(po.value("steps"), reg::stepBanked, where, &p.steps, error) ||
        !readSteps(po.value("a-steps"), reg::zaSharedAt, where + QStringLiteral(" (A)"), &p.aSteps, error))
      return std::nullopt;
  }
  return f;
}

}  // namespace lorvane::state
