#include "CommandLine.h"

#include "common/MessageId.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

// Options QGuiApplication, QApplication and the X11 platform take for themselves.
bool isQtOption(const QString& name)
{
    static const QSet<QString> names{QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
                                     QStringLiteral("platformtheme"), QStringLiteral("plugin"),
                                     QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
                                     QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
                                     QStringLiteral("reverse"),       QStringLiteral("session"),
                                     QStringLiteral("style"),         QStringLiteral("stylesheet"),
                                     QStringLiteral("widgetcount"),   QStringLiteral("display"),
                                     QStringLiteral("name"),          QStringLiteral("title"),
                                     QStringLiteral("geometry"),      QStringLiteral("visual"),
                                     QStringLiteral("ncols"),         QStringLiteral("cmap"),
                                     QStringLiteral("nograb"),        QStringLiteral("dograb"),
                                     QStringLiteral("sync")};
    return names.contains(name);
}

QString programName(const QStringList& arguments)
{
    return arguments.isEmpty() ? QStringLiteral("razo") : QFileInfo(arguments.first()).fileName();
}

} // namespace

CommandLine::CommandLine()
    : m_help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
             QStringLiteral("Show this help and exit.")),
      m_version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                QStringLiteral("Show razo's version and exit.")),
      m_screenshot(QStringLiteral("screenshot"),
                   QStringLiteral("Render the four sections into DIR as PNG files, then exit. "
                                  "Runs beside a razo that is already open."),
                   QStringLiteral("DIR")),
      m_showMessage(
          QStringLiteral("show-message"),
          QStringLiteral("Open the messages section with message ID selected and scrolled into view; "
                         "hands over to a razo that is already open."),
          QStringLiteral("ID"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("razo — 本地消息工作台 (WeChat and WeCom messages in one window)"));
    // "-platform offscreen" is one of Qt's options, not the letters p, l, a, ...
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    m_parser.addOption(m_screenshot);
    m_parser.addOption(m_showMessage);
}

std::optional<int> CommandLine::process(const QStringList& arguments, bool qtOptionsStripped)
{
    const QString program = programName(arguments);
    m_deferred = false;
    if (!m_parser.parse(arguments)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        const bool onlyQt = !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), isQtOption);
        if (onlyQt && !qtOptionsStripped) {
            m_deferred = true; // their values look like stray arguments until Qt takes them
            return std::nullopt;
        }
        return usageError(program, m_parser.errorText());
    }
    if (m_parser.isSet(m_help)) {
        QString text = m_parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), program);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (m_parser.isSet(m_version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (!m_parser.positionalArguments().isEmpty())
        return usageError(
            program, QStringLiteral("Unexpected argument '%1'.").arg(m_parser.positionalArguments().first()));
    if (m_parser.isSet(m_screenshot) && m_parser.value(m_screenshot).isEmpty())
        return usageError(program, QStringLiteral("--screenshot needs a folder."));
    if (m_parser.isSet(m_showMessage) && !messageToShow())
        return usageError(program,
                          QStringLiteral("--show-message needs a message id (a positive whole number)."));
    return std::nullopt;
}

std::optional<QString> CommandLine::screenshotDirectory() const
{
    if (!m_parser.isSet(m_screenshot))
        return std::nullopt;
    return m_parser.value(m_screenshot);
}

std::optional<qint64> CommandLine::messageToShow() const
{
    if (!m_parser.isSet(m_showMessage))
        return std::nullopt;
    return parseMessageId(m_parser.value(m_showMessage));
}

int CommandLine::usageError(const QString& program, const QString& message) const
{
    QTextStream err(stderr);
    err << program << ": " << message << '\n' << "Try '" << program << " --help' for more information.\n";
    return 2;
}
