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
#include "ui/settings/SettingsSaveBar.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/UserProfileCard.h"
#include "ui/settings/WeComDiagnosticsCard.h"
#include "ui/settings/logic/AIProviderStatus.h"
#include "ui/settings/logic/SettingsDraftModel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int kPadding = 28;

} // namespace

SettingsDashboardView::SettingsDashboardView(BridgeStore& store, QWidget* parent, bool opensStorePlaces)
    : QScrollArea(parent), m_store(store), m_draft(new SettingsDraftModel(this)),
      m_opensStorePlaces(opensStorePlaces)
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
          static_cast<QWidget*>(m_background), static_cast<QWidget*>(m_diagnostics),
          static_cast<QWidget*>(m_rules), static_cast<QWidget*>(m_ai)})
        col->addWidget(card);
    col->addStretch(1);
    setWidget(page);

    // The save bar sits below the scrolled page, over the margin kept free for it.
    m_saveBar = new SettingsSaveBar(this);
    setViewportMargins(0, 0, 0, SettingsSaveBar::kHeight);
    auto* underBar = new QWidget; // keeps the scroll bar above the save bar
    underBar->setFixedHeight(SettingsSaveBar::kHeight);
    addScrollBarWidget(underBar, Qt::AlignBottom);

    connect(m_save, &QAbstractButton::clicked, this, &SettingsDashboardView::save);
    connect(m_saveBar->saveButton(), &QAbstractButton::clicked, this, &SettingsDashboardView::save);
    connect(&store, &BridgeStore::isSavingSettingsChanged, this, [this] {
        if (!m_store.isSavingSettings())
            m_sending.reset(); // a save that failed leaves the marks as they are
        refreshSaveButton();
    });
    connect(&store, &BridgeStore::nativeSettingsSaved, this, [this] {
        if (m_sending)
            m_draft->markSaved(*m_sending);
        m_sending.reset();
    });
    connect(m_draft, &SettingsDraftModel::changed, this,
            [this] { m_saveBar->setUnsavedCount(m_draft->unsavedCount()); });
    connect(&store, &BridgeStore::stateChanged, this, [this] {
        m_draft->loadIfClean(m_store.state());
        m_ai->setCoreProblem(aistatus::problem(m_store.state()));
    });
    connect(&store, &BridgeStore::settingsPlaceToShowChanged, this, [this] {
        if (isVisible())
            showStorePlace();
    });
    m_ai->setCoreProblem(aistatus::problem(store.state()));
    refreshSaveButton();
}

void SettingsDashboardView::save()
{
    if (m_store.isSavingSettings())
        return;
    // The store posts the body unchanged and reports the outcome as a toast; the draft is
    // not touched, so a failed save leaves everything as typed. Once the core has taken it,
    // what was sent is the saved state the unsaved marks compare with.
    m_sending = m_draft->draft();
    m_store.saveNativeSettings(m_draft->draft().payload());
}

void SettingsDashboardView::showEvent(QShowEvent* e)
{
    QScrollArea::showEvent(e);
    // Coming into view (not a window being restored): start again from the core's values.
    if (!e->spontaneous()) {
        m_draft->load(m_store.state());
        // Once laid out, bring the place the store asks for into view.
        QMetaObject::invokeMethod(this, &SettingsDashboardView::showStorePlace, Qt::QueuedConnection);
    }
}

void SettingsDashboardView::resizeEvent(QResizeEvent* e)
{
    QScrollArea::resizeEvent(e);
    const QRect inside = contentsRect();
    m_saveBar->setGeometry(inside.left(), inside.bottom() + 1 - SettingsSaveBar::kHeight, inside.width(),
                           SettingsSaveBar::kHeight);
    m_saveBar->raise();
}

void SettingsDashboardView::showStorePlace()
{
    if (!m_opensStorePlaces || !m_store.settingsPlaceToShow())
        return;
    switch (*m_store.settingsPlaceToShow()) {
    case SettingsPlace::UserProfile:
        widget()->layout()->activate();
        verticalScrollBar()->setValue(m_profile->y() - kPadding);
        m_profile->nameField()->lineEdit()->setFocus(Qt::OtherFocusReason);
        break;
    }
    m_store.clearSettingsPlaceToShow();
}

void SettingsDashboardView::refreshSaveButton()
{
    const bool saving = m_store.isSavingSettings();
    for (ProminentButton* button : {m_save, m_saveBar->saveButton()}) {
        button->setLabel(saving ? QStringLiteral("保存中") : QStringLiteral("保存全部设置"));
        button->setEnabled(!saving);
    }
}
