#pragma once

#include <QPixmap>
#include <QWidget>

// razo's application icon in a 42 x 42 frame with a soft successAccent shadow. Empty when
// the icon cannot be loaded.
class BrandMark : public QWidget
{
    Q_OBJECT

public:
    explicit BrandMark(QWidget* parent = nullptr);

    bool hasImage() const;
    // The application icon at `size` logical pixels (null when it cannot be loaded).
    static QPixmap iconPixmap(int size, qreal dpr = 1.0);
    // Whether the artwork is there (without rendering it).
    static bool hasArtwork();
    // The window icon: the installed theme icon named after the application id, else the artwork.
    static QIcon appIcon();

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override;
};
