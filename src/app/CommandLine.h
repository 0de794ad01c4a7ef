#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <optional>

// razo's options. They are read once before the GUI exists, so that --help, --version and
// a mistyped option work without a display, and again after QApplication has taken Qt's
// own options (-platform, -style, ...) when the first reading met any.
class CommandLine
{
public:
    CommandLine();

    // The exit status when razo must stop here (help or version printed: 0; a usage error
    // printed with the help hint: 2); none when it goes on. `qtOptionsStripped` says whether
    // QApplication has already removed its own options from `arguments`.
    std::optional<int> process(const QStringList& arguments, bool qtOptionsStripped);

    // The first reading met Qt's own options: read again after QApplication exists.
    bool needsSecondReading() const { return m_deferred; }

    std::optional<QString> screenshotDirectory() const;
    // The message to open the messages section at (--show-message ID): a positive id.
    std::optional<qint64> messageToShow() const;

private:
    int usageError(const QString& program, const QString& message) const;

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_screenshot;
    QCommandLineOption m_showMessage;
    bool m_deferred = false;
};
