#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace lorvane::app {

namespace {

struct OptionText {
  Q_DECLARE_TR_FUNCTIONS(Options)
};

// Qt's own options for a window program, taken by QApplication: known here, not shown in the help.
void addQtOptions(QCommandLineParser& parser) {
  const char* withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowtitle", "qwindowicon", "display", "geometry", "style", "stylesheet", "session",
                             "qmljsdebugger"};
  const char* flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  for (const char* name : withValue) {
    QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    o.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(o);
  }
  for (const char* name : flags) {
    QCommandLineOption o(QString::fromLatin1(name));
    o.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(o);
  }
}

Options failed(const QString& program, const QString& why) {
  Options o;
  o.action = Options::Action::Error;
  o.exitCode = 2;
  o.text = program + QStringLiteral(": ") + why + QLatin1Char('\n') +
           OptionText::tr("用“%1 --help”查看可用的选项。").arg(program) + QLatin1Char('\n');
  return o;
}

}  // namespace

Options parseOptions(const QStringList& args, const QString& version) {
  const QString program = args.isEmpty() ? QStringLiteral("lorvane") : QFileInfo(args.first()).fileName();
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      OptionText::tr("Lorvane 五轴步进控制器操作程序（Modbus ASCII 主站，9600 8N1，从站 01）。\n"
                     "运行中按 F12 打开通讯监视窗口。"));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  const QCommandLineOption trace(QStringLiteral("trace"),
                                 OptionText::tr("从启动起把串口上的每一帧写入文件 FILE（用于问题报告）。"),
                                 QStringLiteral("FILE"));
  parser.addOption(trace);
  addQtOptions(parser);

  if (!parser.parse(args)) return failed(program, parser.errorText());
  if (!parser.positionalArguments().isEmpty())
    return failed(program, OptionText::tr("多余的参数“%1”").arg(parser.positionalArguments().first()));

  Options o;
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    o.action = Options::Action::Help;
    o.text = parser.helpText().replace(QStringLiteral("<executable_name>"), program);
    return o;
  }
  if (parser.isSet(versionOption)) {
    o.action = Options::Action::Version;
    o.text = QStringLiteral("Lorvane %1\n").arg(version);
    return o;
  }
  if (parser.isSet(trace)) {
    o.traceFile = parser.value(trace);
    if (o.traceFile.isEmpty()) return failed(program, OptionText::tr("--trace 需要一个文件名"));
  }
  return o;
}

}  // namespace lorvane::app
