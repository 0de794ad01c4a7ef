#pragma once

#include <QWidget>

class GradientLabel;
class QLabel;

// The page heading: title in the system font 28 bold painted with brandGradient, and
// below it the subtitle in callout, mutedInk. Full width, leading-aligned.
class HeaderRow : public QWidget
{
    Q_OBJECT

public:
    HeaderRow(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setSubtitle(const QString& subtitle);
    QString title() const;
    QString subtitle() const;

private:
    GradientLabel* m_title;
    QLabel* m_subtitle;
};
