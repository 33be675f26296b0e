#include "projects/plot.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

#include "frames/registers.h"

namespace lorvane::projects {

namespace {

constexpr std::uint16_t kDefaultPulsesPerRev = 1600;
constexpr std::uint16_t kDefaultLeadMicrons = 5000;

std::uint16_t word(std::int64_t raw, bool high) {
  const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(raw));
  return static_cast<std::uint16_t>(high ? v >> 16 : v & 0xFFFF);
}

}  // namespace

runner::Store storeOf(const Backup& backup) {
  auto b = std::make_shared<const Backup>(backup);
  const auto stepValue = [b](int project, int step, std::uint16_t address) -> std::uint16_t {
    const ProjectData* p = b->project(project);
    if (!p) return 0;
    // The register, or the pair whose high word it is.
    const reg::Banked* r = reg::bankedAt(address);
    bool high = false;
    if (!r) {
      r = reg::bankedAt(static_cast<std::uint16_t>(address - 1));
      if (!r || r->count != 2) return 0;
      high = true;
    }
    if (reg::projectBanked(r->address)) return word(p->registers.value(QString::fromLatin1(r->name)), high);
    if (step < 1 || step > p->steps.size()) return 0;
    const Values& values = p->steps[step - 1];
    const bool onA = r->zaShared && values.value(QStringLiteral("z.replacedByA")) == 1;
    return word(values.value(onA ? aName(*r) : QString::fromLatin1(r->name)), high);
  };
  const auto parameter = [](std::uint16_t address) -> std::uint16_t {
    for (int axis = 0; axis < reg::AxisCount; ++axis) {
      if (address == reg::AxisParamReg[reg::PulsesPerRev][axis]) return kDefaultPulsesPerRev;
      if (address == reg::AxisParamReg[reg::LeadMicrons][axis]) return kDefaultLeadMicrons;
    }
    return 0;
  };
  return runner::Store{stepValue, parameter, {}};
}

path::Drawing drawingOf(const Backup& backup, int project, const runner::Point& start) {
  path::Drawing d;
  d.plan = runner::plan(storeOf(backup), project, start);
  d.title = QStringLiteral("工程 %1 路径").arg(project);
  for (const runner::Move& m : d.plan.moves)
    if (m.kind == runner::Kind::Teach) d.note = QStringLiteral("示教点按每转1600脉冲、5mm导程换算");
  return d;
}

int plotCommand(int argc, char** argv) {
  // Drawing needs no display: the offscreen platform, unless one is asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("plot"), QStringLiteral("the command"));
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("a backup file"));
  const QCommandLineOption projectOpt(QStringLiteral("project"), QStringLiteral("The project to draw (1..10)."), QStringLiteral("N"));
  const QCommandLineOption outOpt({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The drawing, .svg or .png."),
                                  QStringLiteral("OUT"));
  parser.addOptions({projectOpt, outOpt});
  const auto usage = [&err](const QString& text) {
    err << "lorvane-projects: " << text << "\nTry lorvane-projects --help\n";
    return 2;
  };
  if (!parser.parse(app.arguments())) return usage(parser.errorText());
  const QStringList args = parser.positionalArguments();
  if (args.size() != 2) return usage(QStringLiteral("plot takes one backup file"));
  bool ok = false;
  const int project = parser.value(projectOpt).toInt(&ok);
  if (!ok || project < 1 || project > kProjects) return usage(QStringLiteral("plot needs --project N, N in 1..%1").arg(kProjects));
  if (!parser.isSet(outOpt)) return usage(QStringLiteral("plot needs -o OUT.svg or -o OUT.png"));
  QString why;
  const auto backup = load(args[1], &why);
  if (!backup) {
    err << "lorvane-projects: " << why << '\n';
    return 1;
  }
  if (!backup->project(project)) {
    err << "lorvane-projects: " << args[1] << ": no project " << project << '\n';
    return 1;
  }
  if (!path::save(drawingOf(*backup, project), parser.value(outOpt), &why)) {
    err << "lorvane-projects: " << why << '\n';
    return 1;
  }
  return 0;
}

}  // namespace lorvane::projects
