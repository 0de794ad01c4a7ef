#include "ui/messages/MessagesView.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/Labels.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/SoftCard.h"
#include "ui/messages/EmptyMessageState.h"
#include "ui/messages/EventListView.h"
#include "ui/messages/EventRowDelegate.h"
#include "ui/messages/MessageSearchField.h"
#include "ui/messages/logic/EventListModel.h"
#include "ui/messages/logic/MessageFilter.h"
#include "ui/messages/logic/SearchReach.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

bool s_searchFocusRequested = false;

constexpr int pagePadding = 28;
constexpr int pageSpacing = 16;
constexpr int controlsSpacing = 12;
constexpr int presetMaxWidth = 410;
constexpr int sourceMaxWidth = 360;
constexpr qreal listCardRadius = 26;
constexpr int listCardPadding = 10;

QList<SegmentedControl::Option> presetOptions()
{
    QList<SegmentedControl::Option> options;
    for (MessageListPreset p : messagepreset::all())
        options.append({messagepreset::rawValue(p), messagepreset::segmentLabel(p)});
    return options;
}

} // namespace

MessagesView::MessagesView(BridgeStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_model(new EventListModel(this))
{
    setObjectName(QStringLiteral("messagesView"));
    setAccessibleName(QStringLiteral("消息"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(pagePadding, pagePadding, pagePadding, pagePadding);
    column->setSpacing(pageSpacing);

    m_header = new HeaderRow(messagepreset::heading(store.messageListPreset()),
                             QStringLiteral("微信和企业微信集中成一条时间线，重点来源一眼可见。"), this);
    column->addWidget(m_header);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(controlsSpacing);
    m_presetControl = new SegmentedControl(QStringLiteral("分类"), presetOptions(), this);
    m_presetControl->setObjectName(QStringLiteral("messagesPresetControl"));
    m_presetControl->setMaximumWidth(presetMaxWidth);
    m_sourceControl =
        new SegmentedControl(QStringLiteral("来源"),
                             {{QString::fromLatin1(messagefilter::targetAll), QStringLiteral("全部")},
                              {QString::fromLatin1(messagefilter::targetWeChat), QStringLiteral("微信")},
                              {QString::fromLatin1(messagefilter::targetWeCom), QStringLiteral("企业微信")}},
                             this);
    m_sourceControl->setObjectName(QStringLiteral("messagesSourceControl"));
    m_sourceControl->setMaximumWidth(sourceMaxWidth);
    m_search = new MessageSearchField(this);
    m_search->setMaximumWidth(320);
    controls->addWidget(m_presetControl, 5);
    controls->addWidget(m_sourceControl, 3);
    controls->addWidget(m_search, 3);
    controls->setAlignment(Qt::AlignVCenter);
    column->addLayout(controls);

    m_reach = labels::make(QString(), AppTheme::TextStyle::Caption, -1, AppTheme::secondaryText(), this);
    m_reach->setObjectName(QStringLiteral("messagesSearchReach"));
    m_reach->hide();
    column->addWidget(m_reach);

    auto* card = new SoftCard(listCardRadius, listCardPadding, this);
    card->setObjectName(QStringLiteral("messagesCard"));
    m_stack = new QStackedWidget(card);
    m_empty = new EmptyMessageState(m_stack);
    m_list = new EventListView(m_stack);
    m_list->setEventModel(m_model);
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_list);
    card->addWidget(m_stack, 1);
    column->addWidget(card, 1);

    connect(m_presetControl, &SegmentedControl::currentValueChanged, this, [this](const QString& raw) {
        if (const auto preset = messagepreset::fromRawValue(raw))
            m_store.setMessageListPreset(*preset);
    });
    connect(m_sourceControl, &SegmentedControl::currentValueChanged, this, [this](const QString& value) {
        m_targetFilter = value;
        refilter();
    });
    store.setSearchQuery(QString()); // a new view starts without a search, the store with it
    connect(m_search, &MessageSearchField::textChanged, this,
            [this] { m_store.setSearchQuery(m_search->text()); });
    connect(&m_store, &BridgeStore::searchQueryChanged, this, [this] {
        if (m_search->text() != m_store.searchQuery())
            m_search->setText(m_store.searchQuery());
        refilter();
    });
    connect(&m_store, &BridgeStore::searchResultChanged, this, &MessagesView::refilter);
    connect(&m_store, &BridgeStore::presetResultChanged, this, &MessagesView::refilter);
    // Whether the core is being asked only changes what the reach line says.
    connect(&m_store, &BridgeStore::isSearchingChanged, this,
            [this] { showReach(m_model->events().size()); });
    connect(&m_store, &BridgeStore::messageListPresetChanged, this, [this] {
        syncPreset();
        refilter();
    });
    connect(&m_store, &BridgeStore::eventsChanged, this, &MessagesView::refilter);
    connect(&m_store, &BridgeStore::stateChanged, this, &MessagesView::refilter);
    connect(&m_store, &BridgeStore::messageToShowChanged, this, &MessagesView::showRequestedMessage);
    // Selecting another message is the user's own choice: the requested one is no longer kept.
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const auto wanted = m_store.messageToShow();
                if (wanted && current.isValid() &&
                    current.data(EventListModel::StableIdRole).toString() != QString::number(*wanted))
                    m_store.clearMessageToShow();
            });

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &MessagesView::focusSearchField);

    syncPreset();
    refilter();
    showRequestedMessage();
}

void MessagesView::showRequestedMessage()
{
    const std::optional<qint64> wanted = m_store.messageToShow();
    if (!wanted || !m_store.isLoaded(*wanted))
        return;
    const QString id = QString::number(*wanted);
    const bool narrowed =
        !m_search->text().isEmpty() || m_targetFilter != QLatin1String(messagefilter::targetAll);
    if (m_model->rowOf(id) < 0 && narrowed) {
        m_targetFilter = QString::fromLatin1(messagefilter::targetAll);
        m_sourceControl->setCurrentValue(m_targetFilter);
        if (m_search->text().isEmpty())
            refilter();
        else
            m_search->setText(QString()); // refilters through the store's searchQueryChanged
    }
    if (m_model->rowOf(id) < 0)
        m_store.setMessageListPreset(MessageListPreset::All); // refilters through the store's signal
    m_list->revealStableId(id);
}

void MessagesView::requestSearchFocus()
{
    s_searchFocusRequested = true;
}

bool MessagesView::searchFocusRequested()
{
    return s_searchFocusRequested;
}

void MessagesView::focusSearchField()
{
    m_search->focusField();
}

QString MessagesView::searchQuery() const
{
    return m_search->text();
}

QString MessagesView::searchReach() const
{
    return m_reach->text();
}

const QList<BridgeEvent>& MessagesView::shownEvents() const
{
    return m_model->events();
}

bool MessagesView::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void MessagesView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (s_searchFocusRequested) {
        s_searchFocusRequested = false;
        // After the section switch has settled, so that nothing takes the focus back.
        QTimer::singleShot(0, this, &MessagesView::focusSearchField);
    }
}

void MessagesView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), AppTheme::windowBackground());
}

void MessagesView::syncPreset()
{
    const MessageListPreset preset = m_store.messageListPreset();
    m_header->setTitle(messagepreset::heading(preset));
    m_presetControl->setCurrentValue(messagepreset::rawValue(preset));
}

void MessagesView::refilter()
{
    const QString query = m_search->text();
    // The core's matches of the whole week replace the loaded messages once they are in; the
    // preset, the source and the query narrow them like the loaded ones.
    const std::optional<SearchResult>& found = m_store.searchResult();
    const bool fromCore = found && found->query == query.trimmed();
    // Without a search, the core's messages of the preset's kind over the week stand in for the
    // loaded ones once they are in: they are that kind by the core's word (its card's picks
    // first), so only the source and the query narrow them.
    const std::optional<PresetResult>& kind = m_store.presetResult();
    const bool ofKind = !fromCore && kind && kind->preset == m_store.messageListPreset();
    const QList<BridgeEvent>& source = fromCore ? found->events : (ofKind ? kind->events : m_store.events());
    const MessageListPreset preset = ofKind ? MessageListPreset::All : m_store.messageListPreset();
    const QList<BridgeEvent> shown =
        messagefilter::filteredEvents(source, m_store.state(), preset, m_targetFilter, query);
    showReach(shown.size());

    const EventListView::Anchor anchor = m_list->captureAnchor();
    m_list->rowDelegate()->setSearchQuery(query);
    m_model->setEvents(shown);
    m_empty->setSearching(!query.trimmed().isEmpty()); // a blank query searches nothing
    m_stack->setCurrentWidget(shown.isEmpty() ? static_cast<QWidget*>(m_empty) : m_list);
    m_list->restoreAnchor(anchor);
    m_list->viewport()->update(); // highlights follow the query even where rows did not change
}

void MessagesView::showReach(qsizetype shown)
{
    const QString reach = searchreach::text(m_search->text(), shown, m_store.events().size(),
                                            m_store.searchResult(), m_store.isSearching());
    m_reach->setText(reach);
    m_reach->setAccessibleName(reach);
    m_reach->setVisible(!reach.isEmpty());
}
