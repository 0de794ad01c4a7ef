#pragma once

#include "model/BridgeEvent.h"

#include <QList>
#include <QString>
#include <QWidget>

class BridgeStore;
class EmptyMessageState;
class EventListModel;
class EventListView;
class HeaderRow;
class MessageSearchField;
class QLabel;
class QStackedWidget;
class SegmentedControl;

// The messages section: one timeline of the loaded WeChat and WeCom messages, narrowed by the
// store's preset, a source filter (local: it starts as "all" each time the view is created) and
// the store's search query (cleared when the view is created). While a search runs, the core's
// matches of the whole week stand in for the loaded messages once they arrive; likewise, while a
// preset other than 全部 is chosen, the core's messages of that kind over the week.
class MessagesView : public QWidget
{
    Q_OBJECT

public:
    explicit MessagesView(BridgeStore& store, QWidget* parent = nullptr);

    // Asks the next messages view to be shown to put the keyboard focus into its search field
    // (the dashboard's "搜索消息" calls this before it switches to the messages section).
    static void requestSearchFocus();
    static bool searchFocusRequested();

    void focusSearchField();

    QString targetFilter() const { return m_targetFilter; }
    QString searchQuery() const;
    // How far the search reached ("在最近 7 天的消息中找到 12 条"); empty without a query.
    QString searchReach() const;
    // What the list shows right now.
    const QList<BridgeEvent>& shownEvents() const;

    EventListView* listView() const { return m_list; }
    EventListModel* listModel() const { return m_model; }
    bool isShowingEmptyState() const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void syncPreset();
    void refilter();
    // The reach line for `shown` rows of the current query.
    void showReach(qsizetype shown);
    // Selects the store's messageToShow, widening the filters when they hide it.
    void showRequestedMessage();

    BridgeStore& m_store;
    QString m_targetFilter = QStringLiteral("all");
    HeaderRow* m_header;
    SegmentedControl* m_presetControl;
    SegmentedControl* m_sourceControl;
    MessageSearchField* m_search;
    QLabel* m_reach;
    QStackedWidget* m_stack;
    EmptyMessageState* m_empty;
    EventListView* m_list;
    EventListModel* m_model;
};
