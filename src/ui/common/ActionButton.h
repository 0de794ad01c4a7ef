#pragma once

#include "ui/common/PressableButton.h"

#include <QColor>

class MiniSpinner;

// A button labelled with an optional symbol icon and a text, with a busy state that shows
// a small spinner in place of the label (the button keeps its size). The look (fill,
// outline, label colour) comes from the subclass through colours().
class ActionButton : public PressableButton
{
    Q_OBJECT

public:
    ActionButton(const QString& text, const QString& symbolName, QWidget* parent = nullptr);

    void setSymbol(const QString& symbolName);
    QString symbol() const { return m_symbol; }
    void setLabel(const QString& text); // text + accessible name
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    struct Colours
    {
        QColor fill;
        QColor border;
        QColor label;
    };
    virtual Colours colours(qreal pressed) const = 0;
    void paintButton(QPainter& p, qreal pressed) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    static constexpr int kHeight = 30;
    static constexpr int kPaddingH = 13;
    static constexpr int kIconSize = 14;
    static constexpr int kIconSpacing = 6;

private:
    QString m_symbol;
    bool m_busy = false;
    MiniSpinner* m_spinner;
};
