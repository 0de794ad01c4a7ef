#include "ui/messages/EmptyMessageState.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/SymbolIcons.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kIconSize = 28;
} // namespace

EmptyMessageState::EmptyMessageState(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("emptyMessageState"));
    setMinimumHeight(280);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->addStretch(1);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("emptyMessageIcon"));
    m_icon->setFixedHeight(kIconSize + 4);
    m_icon->setAlignment(Qt::AlignCenter);
    column->addWidget(m_icon);

    m_title = labels::make(QString(), AppTheme::TextStyle::Headline, QFont::Bold, AppTheme::ink(), this);
    m_title->setObjectName(QStringLiteral("emptyMessageTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    column->addWidget(m_title);

    m_hint = labels::make(QString(), AppTheme::TextStyle::Callout, -1, AppTheme::secondaryText(), this);
    m_hint->setObjectName(QStringLiteral("emptyMessageHint"));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    column->addWidget(m_hint);
    column->addStretch(1);
    apply();
}

void EmptyMessageState::setSearching(bool searching)
{
    if (searching == m_searching)
        return;
    m_searching = searching;
    apply();
}

void EmptyMessageState::apply()
{
    // Nothing found for a search is no sign that nothing arrived: say so, and what helps.
    const QString symbol = m_searching ? QStringLiteral("magnifyingglass") : QStringLiteral("tray");
    m_icon->setPixmap(SymbolIcons::pixmap(symbol, kIconSize, AppTheme::primaryAccent(), devicePixelRatioF()));
    m_icon->setAccessibleName(m_searching ? QStringLiteral("搜索") : QStringLiteral("消息托盘"));
    m_title->setText(m_searching ? QStringLiteral("没有找到匹配的消息") : QStringLiteral("还没有消息"));
    m_hint->setText(m_searching ? QStringLiteral("换个关键词，或清空搜索框。")
                                : QStringLiteral("保持电脑端运行，新的微信和企业微信消息会自动出现在这里。"));
    setAccessibleName(m_title->text());
    setAccessibleDescription(m_hint->text());
}
