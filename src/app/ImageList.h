#pragma once
// The window's artwork: eight 16 x 16 glyphs, the window icon and the About picture.

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace tarnel {

QList<QPixmap> LoadImageList();
QIcon WindowIcon();
QPixmap AboutPicture();

}  // namespace tarnel
