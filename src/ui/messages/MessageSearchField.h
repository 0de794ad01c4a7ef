#pragma once

#include <QWidget>

class QLineEdit;

// The timeline's search box: a magnifying glass, a borderless line edit with placeholder
// "搜索消息" and a clear button, on a rounded field that shows a focus ring. Escape clears it.
class MessageSearchField : public QWidget
{
    Q_OBJECT

public:
    explicit MessageSearchField(QWidget* parent = nullptr);

    QLineEdit* lineEdit() const { return m_edit; }
    QString text() const;
    void setText(const QString& text);
    void focusField(); // focus and select what is typed

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
};
