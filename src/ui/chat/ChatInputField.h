#pragma once

#include <QPlainTextEdit>

// The question field: no border of its own, 14 of padding left and right and 12 above and
// below, on cardBackground in a rounded rectangle of radius 18 outlined with border. It
// grows from one to four lines and scrolls inside beyond that. Return submits; Shift+Return
// inserts a line break.
class ChatInputField : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kMinLines = 1;
    static constexpr int kMaxLines = 4;
    static constexpr int kPaddingH = 14;
    static constexpr int kPaddingV = 12;

    explicit ChatInputField(QWidget* parent = nullptr);

    // Lines the field shows now (1..4), counting wrapped lines.
    int visibleLines() const;
    // All lines of the text, wrapped lines included.
    int totalLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void submitRequested();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateHeight();
    int heightForLines(int lines) const;
};
