#pragma once

#include <QWidget>

// Shown in place of the list when no message passes the filters: the tray icon, "还没有消息"
// and a hint, centred, at least 280 high.
class EmptyMessageState : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyMessageState(QWidget* parent = nullptr);
};
