// Reading messages from login: the core started when the desktop session starts, so that
// messages are read while razo is closed. The state is always read back, never remembered.
#include "store/BridgeStore.h"

void BridgeStore::setBackgroundReadingSetup(BackgroundReadingSetup setup)
{
    m_backgroundReading = BackgroundReading(std::move(setup));
}

QCoro::Task<> BridgeStore::loadBackgroundReading()
{
    // A change reads the state back itself; a reading now would take its outcome and toast.
    if (m_isChangingBackgroundReading)
        co_return;
    const auto alive = m_alive;
    const quint64 turn = ++m_backgroundReadingTurn;
    BackgroundReadingState state = co_await m_backgroundReading.read();
    // A change or read started meanwhile has the newer word.
    if (!*alive || turn != m_backgroundReadingTurn)
        co_return;
    state.failure = m_backgroundReadingState.failure; // a failure stays in view until the next change
    setBackgroundReadingState(std::move(state));
}

QCoro::Task<> BridgeStore::setBackgroundReadingEnabled(bool on)
{
    if (m_isChangingBackgroundReading)
        co_return;
    const auto alive = m_alive;
    const quint64 turn = ++m_backgroundReadingTurn;
    setChangingBackgroundReading(true);
    BackgroundReadingState state = co_await m_backgroundReading.setEnabled(on);
    if (!*alive)
        co_return;
    if (turn == m_backgroundReadingTurn) {
        const QString failure = state.failure;
        setBackgroundReadingState(std::move(state));
        if (!failure.isEmpty())
            showToast(QStringLiteral("登录后在后台读取消息：") + failure);
        else
            showToast(on ? QStringLiteral("已开启登录后在后台读取消息。")
                         : QStringLiteral("已关闭登录后在后台读取消息。"));
    }
    setChangingBackgroundReading(false);
}

void BridgeStore::setBackgroundReadingState(BackgroundReadingState state)
{
    if (m_backgroundReadingState == state)
        return;
    m_backgroundReadingState = std::move(state);
    emit backgroundReadingChanged();
}

void BridgeStore::setChangingBackgroundReading(bool on)
{
    if (m_isChangingBackgroundReading == on)
        return;
    m_isChangingBackgroundReading = on;
    emit isChangingBackgroundReadingChanged();
}
