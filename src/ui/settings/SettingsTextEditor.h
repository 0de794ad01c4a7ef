#pragma once

#include "ui/settings/logic/DraftBinding.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// A titled multi-line editor bound to one text of the draft (one entry per line): the title,
// the editor in the body font, at least `height` tall, padded 8 on a rounded white box with
// a separator outline, and, when given, the help line.
class SettingsTextEditor : public QWidget
{
    Q_OBJECT

public:
    SettingsTextEditor(const QString& title, const QString& help, TextBinding text, int height,
                       QWidget* parent = nullptr);

    QString title() const;
    QString help() const;
    QPlainTextEdit* editor() const { return m_edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    TextBinding m_binding;
    QLabel* m_title;
    QLabel* m_help;
    QWidget* m_box;
    QPlainTextEdit* m_edit;
    bool m_refreshing = false;
};
