#include "ui/messages/EmptyMessageState.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/SymbolIcons.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyMessageState::EmptyMessageState(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("emptyMessageState"));
    setMinimumHeight(280);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->addStretch(1);

    constexpr int iconSize = 28;
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("emptyMessageIcon"));
    const qreal dpr = devicePixelRatioF();
    QPixmap pm = SymbolIcons::pixmap(QStringLiteral("tray"), iconSize, AppTheme::primaryAccent(), dpr);
    icon->setPixmap(pm);
    icon->setFixedHeight(iconSize + 4);
    icon->setAlignment(Qt::AlignCenter);
    icon->setAccessibleName(QStringLiteral("消息托盘"));
    column->addWidget(icon);

    auto* title = labels::make(QStringLiteral("还没有消息"), AppTheme::TextStyle::Headline, QFont::Bold,
                               AppTheme::ink(), this);
    title->setObjectName(QStringLiteral("emptyMessageTitle"));
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);

    auto* hint = labels::make(QStringLiteral("保持电脑端运行，新的微信和企业微信消息会自动出现在这里。"),
                              AppTheme::TextStyle::Callout, -1, AppTheme::secondaryText(), this);
    hint->setObjectName(QStringLiteral("emptyMessageHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    column->addWidget(hint);
    column->addStretch(1);

    setAccessibleName(title->text());
    setAccessibleDescription(hint->text());
}
