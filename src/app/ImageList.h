#pragma once
// The window's artwork: eight 16 x 16 glyphs, the window icon and the About picture.
// Glyphs and icon are drawn as vectors at the pixel size asked for, so they stay sharp at
// every display scale, and none of them needs an image-format plugin.

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace tarnel {

// The image list: index 1 Attach, 2 Run, 3 Stop, 4 Reset, 5 Open, 6 Program, 7 Exit;
// index 0 is blank (no action uses it).
QList<QIcon> LoadImageList();
QIcon WindowIcon();
// The 216 x 90 picture of the About window.
QPixmap AboutPicture();

}  // namespace tarnel
