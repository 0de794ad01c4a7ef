#pragma once

#include <QListView>
#include <QString>

class EventListModel;
class EventRowDelegate;

// The timeline list: painted rows over an EventListModel, scrolled per pixel. Across a
// refresh it keeps the selected message and, once scrolled away from the top, the message
// at the top of the viewport in place; at the very top, new messages simply appear there.
class EventListView : public QListView
{
    Q_OBJECT

public:
    explicit EventListView(QWidget* parent = nullptr);

    void setEventModel(EventListModel* model);
    EventRowDelegate* rowDelegate() const { return m_delegate; }

    // What is visible before a refresh, to be restored after it.
    struct Anchor
    {
        QString stableId; // message at the top of the viewport, empty at the top of the list
        int offset = 0;   // its top relative to the viewport's top
        QString selectedId;
    };
    Anchor captureAnchor() const;
    void restoreAnchor(const Anchor& anchor);

    QString selectedStableId() const;
    void selectStableId(const QString& stableId);
    // Selects the row and scrolls it into view, also once the list has been laid out.
    void revealStableId(const QString& stableId);

protected:
    void initViewItemOption(QStyleOptionViewItem* option) const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    EventListModel* m_model = nullptr;
    EventRowDelegate* m_delegate;
    Anchor m_resetAnchor;
    int m_layoutWidth = -1;
};
