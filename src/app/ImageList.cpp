#include "app/ImageList.h"

static void InitArtResources() {
    Q_INIT_RESOURCE(art);
}

namespace tarnel {

QList<QPixmap> LoadImageList() {
    InitArtResources();
    QList<QPixmap> images;
    for (int i = 0; i < 8; ++i) {
        images.append(QPixmap(QStringLiteral(":/art/glyph%1.xpm").arg(i)));
    }
    return images;
}

QIcon WindowIcon() {
    InitArtResources();
    return QIcon(QPixmap(QStringLiteral(":/art/appicon.xpm")));
}

QPixmap AboutPicture() {
    InitArtResources();
    return QPixmap(QStringLiteral(":/art/aboutpicture.xpm"));
}

}  // namespace tarnel
