#pragma once

#include <QObject>

#include <memory>

// Lets whoever started a piece of asynchronous work abandon it. Cancelling is final and
// happens on the thread that owns the token (the main thread); the work watching it ends
// at once instead of running on to its own time-out.
class CancelToken : public QObject
{
    Q_OBJECT

public:
    void cancel()
    {
        if (m_cancelled)
            return;
        m_cancelled = true;
        emit cancelled();
    }
    bool isCancelled() const { return m_cancelled; }

signals:
    void cancelled();

private:
    bool m_cancelled = false;
};

using CancelTokenPtr = std::shared_ptr<CancelToken>;
