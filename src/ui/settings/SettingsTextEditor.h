#pragma once

#include "ui/settings/logic/DraftBinding.h"

#include <QWidget>

class QLabel;
class UnsavedMark;
class QPlainTextEdit;

// A titled multi-line editor bound to one text of the draft (one entry per line): the title,
// the editor in the body font, at least `height` tall, padded 8 on a rounded white box with
// a separator outline, and, when given, the help line. An edit changes only the edited part
// of the text: line breaks and no-break spaces elsewhere stay as loaded.
class SettingsTextEditor : public QWidget
{
    Q_OBJECT

public:
    SettingsTextEditor(const QString& title, const QString& help, TextBinding text, int height,
                       QWidget* parent = nullptr);

    QString title() const;
    QString help() const;
    UnsavedMark* unsavedMark() const { return m_unsaved; }
    QPlainTextEdit* editor() const { return m_edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void takeEdit();

    TextBinding m_binding;
    QLabel* m_title;
    QLabel* m_help;
    UnsavedMark* m_unsaved;
    QWidget* m_box;
    QPlainTextEdit* m_edit;
    QString m_text;            // the bound text as the editor holds it (line breaks and spaces as loaded)
    QString m_shown;           // the editor's raw text for m_text
    bool m_refreshing = false; // showing the draft's value, which is no edit
};
