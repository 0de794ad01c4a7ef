#include "ui/settings/BackgroundReadingCard.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/ToggleSwitch.h"

#include <QLabel>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QVBoxLayout>

BackgroundReadingCard::BackgroundReadingCard(BridgeStore& store, QWidget* parent)
    : SettingsCard(QStringLiteral("后台读取"), parent), m_store(store)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("backgroundReadingCard"));
    m_switch = new ToggleSwitch(QStringLiteral("登录后在后台读取消息"), this);
    m_switch->setObjectName(QStringLiteral("backgroundReadingSwitch"));
    m_status = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), this);
    m_status->setObjectName(QStringLiteral("backgroundReadingStatus"));
    m_status->setWordWrap(true);
    m_problem = labels::make(QString(), TextStyle::Caption, -1, systemOrange(), this);
    m_problem->setObjectName(QStringLiteral("backgroundReadingProblem"));
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    body()->addWidget(m_switch, 0, Qt::AlignLeft);
    body()->addWidget(m_status);
    body()->addWidget(m_problem);

    // The value signal, not clicks: a toggle through the accessibility interface acts the same.
    // What refresh() shows from the store is no request.
    connect(m_switch, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_store.setBackgroundReadingEnabled(on);
    });
    connect(&store, &BridgeStore::backgroundReadingChanged, this, &BackgroundReadingCard::refresh);
    connect(&store, &BridgeStore::isChangingBackgroundReadingChanged, this, &BackgroundReadingCard::refresh);
    refresh();
}

void BackgroundReadingCard::showEvent(QShowEvent* e)
{
    SettingsCard::showEvent(e);
    // Coming into view: read the state again (it may have been changed outside razo).
    if (!e->spontaneous())
        m_store.loadBackgroundReading();
}

void BackgroundReadingCard::refresh()
{
    const BackgroundReadingState& state = m_store.backgroundReading();
    const bool changing = m_store.isChangingBackgroundReading();
    {
        const QScopedValueRollback refreshing(m_refreshing, true);
        // While a change runs the switch keeps the position the user gave it; then the state read back.
        if (!changing)
            m_switch->setChecked(state.enabled());
    }
    m_switch->setEnabled(state.known && !changing && state.canChange());
    m_status->setText(changing ? QStringLiteral("正在修改登录后启动的设置…") : state.description());
    m_problem->setText(state.failure.isEmpty() ? QString() : QStringLiteral("未能更改：") + state.failure);
    m_problem->setVisible(!state.failure.isEmpty());
}
