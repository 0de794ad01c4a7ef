#pragma once

#include <QWidget>

class QLabel;

// Shown in place of the list when no message passes the filters, centred, at least 280 high:
// the tray icon, "还没有消息" and a hint; or, while a search is typed, the magnifying glass,
// "没有找到匹配的消息" and what to do about it.
class EmptyMessageState : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyMessageState(QWidget* parent = nullptr);

    void setSearching(bool searching);
    bool isSearching() const { return m_searching; }

private:
    void apply();

    QLabel* m_icon;
    QLabel* m_title;
    QLabel* m_hint;
    bool m_searching = false;
};
