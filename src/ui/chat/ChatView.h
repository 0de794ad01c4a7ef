#pragma once

#include <QPointer>
#include <QWidget>

class BridgeStore;
class ChatInputField;
class ChatTranscriptModel;
class ChatTranscriptView;
class ProminentButton;
class QLabel;

// The assistant section: heading, the transcript of the store's conversation, a progress
// line while a question is answered, and the input bar. The draft lives here and only as
// long as the view; the conversation lives in the store.
class ChatView : public QWidget
{
    Q_OBJECT

public:
    explicit ChatView(BridgeStore& store, QWidget* parent = nullptr);

    QString draft() const;
    void setDraft(const QString& text);
    // Takes the draft unchanged, clears it and hands it to the store. Blank drafts are
    // ignored by the store; a second question while one is answered is sent at once.
    void send();

    ChatTranscriptView* transcript() const { return m_transcript; }
    ChatTranscriptModel* transcriptModel() const { return m_model; }
    ChatInputField* inputField() const { return m_input; }
    ProminentButton* sendButton() const { return m_send; }
    QWidget* progressRow() const { return m_progress; }

private:
    void updateSending();
    void updateSendEnabled();

    QPointer<BridgeStore> m_store;
    ChatTranscriptModel* m_model;
    ChatTranscriptView* m_transcript;
    QWidget* m_progress;
    ChatInputField* m_input;
    ProminentButton* m_send;
};
