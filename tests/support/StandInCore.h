#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// The stand-in core of this repository (msgrelay) as a child process on a free loopback port,
// its files in a temporary folder, no session bus and no file manager to open. Its fault rules
// live in a file that it reads again whenever the file changes, so one core serves many cases.
// What it logs, one line per request ("POST /api/chat 200 3ms"), is collected.
class StandInCore
{
public:
    StandInCore();
    ~StandInCore(); // ends the core

    // Starts the core and waits (bounded) for its address; false when it does not come up.
    bool start();
    QUrl baseUrl() const { return m_baseUrl; }

    // Replaces the fault rules (MSGRELAY_FAULTS syntax, "" for none). The core's counters
    // (refuse-first) start afresh, and requestCount() counts from here.
    void setFaults(const QString& rules);
    // Requests of `method` and `path` the core has logged since the last setFaults().
    int requestCount(const QByteArray& method, const QString& path);

private:
    void fence(); // waits until the core has logged every request answered so far
    void collectOutput();

    QTemporaryDir m_dir;
    QProcess m_process;
    QUrl m_baseUrl;
    QStringList m_lines;
    qsizetype m_linesAtFaults = 0;
};
