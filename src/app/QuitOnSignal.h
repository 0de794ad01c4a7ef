#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C in a terminal) into an orderly
// QCoreApplication::quit(), so the store is torn down and stops the core it started instead
// of leaving it listening. The signal handler only writes to a pipe; the quit happens on
// the main thread.
class QuitOnSignal : public QObject
{
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    QSocketNotifier* m_notifier = nullptr;
};
