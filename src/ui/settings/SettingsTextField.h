#pragma once

#include "ui/settings/logic/DraftBinding.h"

#include <QWidget>

class QLabel;
class UnsavedMark;
class QLineEdit;

// A titled single-line field bound to one text of the draft: the title (caption semibold,
// secondary), the field (placeholder = the title) and, when given, the help line (caption2).
class SettingsTextField : public QWidget
{
    Q_OBJECT

public:
    SettingsTextField(const QString& title, const QString& help, TextBinding text, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const;
    QString help() const;
    UnsavedMark* unsavedMark() const { return m_unsaved; }
    QLineEdit* lineEdit() const { return m_edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    TextBinding m_binding;
    QLabel* m_title;
    QLabel* m_help;
    UnsavedMark* m_unsaved;
    QWidget* m_box;
    QLineEdit* m_edit;
    bool m_refreshing = false; // showing the draft's value, which is no edit
};
