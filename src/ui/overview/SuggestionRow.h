#pragma once

#include <QWidget>

// One suggestion of the summary card: a bullet and the text, wrapped over at most two lines
// (the second line elided when the text is longer).
class SuggestionRow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 2;

    explicit SuggestionRow(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // The lines shown at `width`, at most kMaxLines, the last one elided if text is left over.
    QStringList lines(int width) const;
    int bulletWidth() const;

    QString m_text;
};
