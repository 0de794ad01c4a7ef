#include "StandInCore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTest>

StandInCore::StandInCore() = default;

StandInCore::~StandInCore()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool StandInCore::start()
{
    if (!m_dir.isValid())
        return false;
    const QString bin = m_dir.filePath(QStringLiteral("bin")); // an empty PATH: no file manager
    QDir().mkpath(bin);
    setFaults(QString());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // never this desktop's notifications
    env.remove(QStringLiteral("MSGRELAY_FAULTS"));
    env.insert(QStringLiteral("PATH"), bin);
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(RAZO_SOURCE_DIR));
    env.insert(QStringLiteral("MSGRELAY_PORT"), QStringLiteral("0"));
    env.insert(QStringLiteral("MSGRELAY_HOST"), QStringLiteral("127.0.0.1"));
    env.insert(QStringLiteral("MSGRELAY_FAULTS_FILE"), m_dir.filePath(QStringLiteral("faults")));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(QStringLiteral(RAZO_SOURCE_DIR));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { collectOutput(); });
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("msgrelay.cli"),
                     QStringLiteral("--config"),
                     m_dir.filePath(QStringLiteral("Quillmere/bridge.config.json")),
                     QStringLiteral("desktop"), QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-browser"),
                     QStringLiteral("--no-native-window")});

    static const QRegularExpression listening(QStringLiteral("^msgrelay listening on (http://\\S+)$"));
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        for (const QString& line : std::as_const(m_lines)) {
            const auto match = listening.match(line);
            if (match.hasMatch()) {
                m_baseUrl = QUrl(match.captured(1));
                return true;
            }
        }
        QTest::qWait(20);
    }
    return false;
}

void StandInCore::setFaults(const QString& rules)
{
    if (m_baseUrl.isValid())
        fence();
    // Written whole and renamed into place: the core never reads half a file.
    QSaveFile file(m_dir.filePath(QStringLiteral("faults")));
    if (!file.open(QIODevice::WriteOnly) || file.write(rules.toUtf8()) < 0 || !file.commit())
        qFatal("cannot write the fault rules");
    collectOutput();
    m_linesAtFaults = m_lines.size();
}

void StandInCore::fence()
{
    // The core logs each request before its reply goes out, so every reply the client has
    // read is in the pipe already; one more request of our own, answered and logged, comes
    // after them all. Counting starts behind its line.
    QTcpSocket socket;
    socket.connectToHost(m_baseUrl.host(), quint16(m_baseUrl.port()));
    if (!socket.waitForConnected(5000))
        qFatal("the stand-in core does not accept connections");
    socket.write("GET /test-fence HTTP/1.0\r\n\r\n");
    const QDeadlineTimer deadline(5000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForDisconnected(int(deadline.remainingTime()));
    while (!deadline.hasExpired()) {
        collectOutput();
        for (qsizetype i = m_lines.size(); i-- > m_linesAtFaults;) {
            if (m_lines[i].startsWith(u"GET /test-fence ")) {
                m_linesAtFaults = i + 1;
                return;
            }
        }
        QTest::qWait(2);
    }
    qFatal("the stand-in core did not log the fence request");
}

int StandInCore::requestCount(const QByteArray& method, const QString& path)
{
    collectOutput();
    const QString prefix = QString::fromLatin1(method) + u' ' + path + u' ';
    int count = 0;
    for (qsizetype i = m_linesAtFaults; i < m_lines.size(); ++i)
        count += m_lines[i].startsWith(prefix) ? 1 : 0;
    return count;
}

void StandInCore::collectOutput()
{
    while (m_process.canReadLine())
        m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
}
