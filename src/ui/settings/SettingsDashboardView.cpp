#include "ui/settings/SettingsDashboardView.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/ProminentButton.h"
#include "ui/settings/AISettingsCard.h"
#include "ui/settings/BackgroundReadingCard.h"
#include "ui/settings/BusinessRulesCard.h"
#include "ui/settings/ChatTargetsCard.h"
#include "ui/settings/RemoteAccessCard.h"
#include "ui/settings/UserProfileCard.h"
#include "ui/settings/WeComDiagnosticsCard.h"
#include "ui/settings/logic/AIProviderStatus.h"
#include "ui/settings/logic/SettingsDraftModel.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int kPadding = 28;

} // namespace

SettingsDashboardView::SettingsDashboardView(BridgeStore& store, QWidget* parent)
    : QScrollArea(parent), m_store(store), m_draft(new SettingsDraftModel(this))
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("section_settings"));
    setAccessibleName(QStringLiteral("设置与接入"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, windowBackground());
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    viewport()->setPalette(pal);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("settingsPage"));
    page->setAutoFillBackground(false);
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    col->setSpacing(Metrics::sectionSpacing);

    auto* headerRow = new QHBoxLayout;
    m_header = new HeaderRow(QStringLiteral("设置与接入"),
                             QStringLiteral("管理手机访问、微信和企业微信的消息来源，以及 AI 网关。"), page);
    m_save = new ProminentButton(QStringLiteral("保存全部设置"), QStringLiteral("checkmark.circle"), page);
    m_save->setObjectName(QStringLiteral("saveSettingsButton"));
    headerRow->addWidget(m_header, 1, Qt::AlignBottom);
    headerRow->addWidget(m_save, 0, Qt::AlignBottom);
    col->addLayout(headerRow);

    m_remote = new RemoteAccessCard(store, m_draft, page);
    m_profile = new UserProfileCard(m_draft, page);
    m_targets = new ChatTargetsCard(store, m_draft, page);
    m_background = new BackgroundReadingCard(store, page);
    m_diagnostics = new WeComDiagnosticsCard(store, page);
    m_rules = new BusinessRulesCard(m_draft, page);
    m_ai = new AISettingsCard(m_draft, page);
    for (QWidget* card :
         {static_cast<QWidget*>(m_remote), static_cast<QWidget*>(m_profile), static_cast<QWidget*>(m_targets),
          static_cast<QWidget*>(m_background),
          static_cast<QWidget*>(m_diagnostics), static_cast<QWidget*>(m_rules), static_cast<QWidget*>(m_ai)})
        col->addWidget(card);
    col->addStretch(1);
    setWidget(page);

    connect(m_save, &QAbstractButton::clicked, this, &SettingsDashboardView::save);
    connect(&store, &BridgeStore::isSavingSettingsChanged, this, &SettingsDashboardView::refreshSaveButton);
    connect(&store, &BridgeStore::stateChanged, this, [this] {
        m_draft->loadIfClean(m_store.state());
        m_ai->setCoreProblem(aistatus::problem(m_store.state()));
    });
    m_ai->setCoreProblem(aistatus::problem(store.state()));
    refreshSaveButton();
}

void SettingsDashboardView::save()
{
    if (m_store.isSavingSettings())
        return;
    // The store posts the body unchanged and reports the outcome as a toast; the draft is
    // not touched, so a failed save leaves everything as typed.
    m_store.saveNativeSettings(m_draft->draft().payload());
}

void SettingsDashboardView::showEvent(QShowEvent* e)
{
    QScrollArea::showEvent(e);
    // Coming into view (not a window being restored): start again from the core's values.
    if (!e->spontaneous())
        m_draft->load(m_store.state());
}

void SettingsDashboardView::refreshSaveButton()
{
    const bool saving = m_store.isSavingSettings();
    m_save->setLabel(saving ? QStringLiteral("保存中") : QStringLiteral("保存全部设置"));
    m_save->setEnabled(!saving);
}
