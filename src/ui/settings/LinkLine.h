#pragma once

#include <QWidget>

class AddressText;
class BorderedButton;
class BridgeStore;
class QLabel;

// An address row: the title above a rounded box holding the address (monospaced, selectable,
// at most two lines) and the "复制" button. The button copies the address to the clipboard
// and confirms with a toast; it is disabled when copying is not allowed and for any waiting
// or switched-off text.
class LinkLine : public QWidget
{
    Q_OBJECT

public:
    LinkLine(BridgeStore& store, const QString& title, const QString& copyLabel, QWidget* parent = nullptr);

    void set(const QString& value, bool canCopy);
    QString title() const;
    QString value() const { return m_value; }
    BorderedButton* copyButton() const { return m_copy; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copy();

    BridgeStore& m_store;
    QString m_copyLabel;
    QString m_value;
    QLabel* m_title;
    QWidget* m_box;
    AddressText* m_text;
    BorderedButton* m_copy;
};
