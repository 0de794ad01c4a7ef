#include "ui/chat/ChatView.h"

#include "store/BridgeStore.h"
#include "ui/chat/ChatBubbleDelegate.h"
#include "ui/chat/ChatInputField.h"
#include "ui/chat/ChatTranscriptModel.h"
#include "ui/chat/ChatTranscriptView.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/Labels.h"
#include "ui/common/MiniSpinner.h"
#include "ui/common/ProminentButton.h"
#include "ui/common/SoftCard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kPagePadding = 28;
constexpr int kSpacing = 16;
constexpr qreal kTranscriptRadius = 26;
constexpr int kTranscriptPadding = 10;
} // namespace

ChatView::ChatView(BridgeStore& store, QWidget* parent) : QWidget(parent), m_store(&store)
{
    setObjectName(QStringLiteral("chatView"));
    setAccessibleName(QStringLiteral("消息助手"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, AppTheme::windowBackground());
    setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPagePadding, kPagePadding, kPagePadding, kPagePadding);
    column->setSpacing(kSpacing);

    column->addWidget(new HeaderRow(QStringLiteral("消息助手"),
                                    QStringLiteral("直接询问最近消息，助手会按来源整理重点和下一步。"),
                                    this));

    auto* card = new SoftCard(kTranscriptRadius, kTranscriptPadding, this);
    card->setObjectName(QStringLiteral("chatTranscriptCard"));
    m_model = new ChatTranscriptModel(&store, this);
    m_transcript = new ChatTranscriptView(card);
    m_transcript->setItemDelegate(new ChatBubbleDelegate(m_transcript));
    m_transcript->setModel(m_model);
    card->addWidget(m_transcript, 1);
    column->addWidget(card, 1);

    m_progress = new QWidget(this);
    m_progress->setObjectName(QStringLiteral("chatProgress"));
    auto* progressRow = new QHBoxLayout(m_progress);
    progressRow->setContentsMargins(4, 0, 4, 0);
    progressRow->setSpacing(8);
    auto* spinner = new MiniSpinner(m_progress, 14);
    spinner->setColor(AppTheme::secondaryText());
    progressRow->addWidget(spinner, 0, Qt::AlignVCenter);
    QLabel* progressText =
        labels::make(QStringLiteral("正在整理最近 7 天的微信和企业微信消息..."), AppTheme::TextStyle::Caption,
                     -1, AppTheme::secondaryText(), m_progress);
    progressText->setObjectName(QStringLiteral("chatProgressText"));
    progressRow->addWidget(progressText, 0, Qt::AlignVCenter);
    progressRow->addStretch(1);
    m_progress->setAccessibleName(progressText->text());
    column->addWidget(m_progress);

    auto* inputBar = new QHBoxLayout;
    inputBar->setSpacing(10);
    m_input = new ChatInputField(this);
    m_send = new ProminentButton(QStringLiteral("发送"), QStringLiteral("paperplane.fill"), this);
    m_send->setObjectName(QStringLiteral("chatSendButton"));
    inputBar->addWidget(m_input, 1, Qt::AlignVCenter);
    inputBar->addWidget(m_send, 0, Qt::AlignVCenter);
    column->addLayout(inputBar);

    connect(m_input, &ChatInputField::submitRequested, this, &ChatView::send);
    connect(m_input, &QPlainTextEdit::textChanged, this, &ChatView::updateSendEnabled);
    connect(m_send, &QAbstractButton::clicked, this, [this] {
        if (m_send->isEnabled())
            send();
    });
    connect(&store, &BridgeStore::isSendingChanged, this, &ChatView::updateSending);
    updateSending();
}

QString ChatView::draft() const
{
    return m_input->toPlainText();
}

void ChatView::setDraft(const QString& text)
{
    m_input->setPlainText(text);
    m_input->moveCursor(QTextCursor::End);
}

void ChatView::send()
{
    const QString question = draft();
    m_input->clear();
    if (m_store)
        m_store->sendChat(question); // runs on; the store appends the bubbles
}

void ChatView::updateSending()
{
    const bool sending = m_store && m_store->isSending();
    m_progress->setVisible(sending);
    m_send->setBusy(sending);
    updateSendEnabled();
}

void ChatView::updateSendEnabled()
{
    const bool sending = m_store && m_store->isSending();
    m_send->setEnabled(!sending && !draft().trimmed().isEmpty());
}
