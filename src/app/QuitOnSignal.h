#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C in a terminal) into an orderly
// QCoreApplication::quit(), so razo ends the way closing its window ends it: windows and
// store torn down in order, the core left running for the next start-up. The signal handler
// only writes to a pipe; the quit happens on the main thread.
class QuitOnSignal : public QObject
{
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    QSocketNotifier* m_notifier = nullptr;
};
