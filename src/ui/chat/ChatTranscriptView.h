#pragma once

#include <QListView>

class QPropertyAnimation;

// The scrolling transcript: one painted bubble per row. It opens on the latest bubble, and
// each appended bubble scrolls the view down to it with a short animation.
// Ctrl+C and the context menu's "复制" copy the selected bubble's text; a double click
// opens the bubble's text for selecting a part of it.
class ChatTranscriptView : public QListView
{
    Q_OBJECT

public:
    explicit ChatTranscriptView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // Copies the text of the bubble at index to the clipboard.
    void copyBubble(const QModelIndex& index) const;
    bool isScrollAnimating() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void scrollToNewest();
    void jumpToNewest();

    QPropertyAnimation* m_scroll;
};
