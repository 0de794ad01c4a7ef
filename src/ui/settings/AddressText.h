#pragma once

#include <QPlainTextEdit>

// A read-only, selectable address in the monospaced font that wraps anywhere (addresses
// have no spaces) and is as tall as its text, at most `maxLines` lines.
class AddressText : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit AddressText(int maxLines = 2, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return toPlainText(); }
    // Lines the text takes at a viewport width (without the limit).
    int lineCountAt(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fitHeight();

    int m_maxLines;
};
