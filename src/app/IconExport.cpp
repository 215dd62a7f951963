// Writes the window icon as a PNG file of the given size, for the desktop's icon theme:
//   tarnel-icon-export FILE SIZE
// Run at build time on Qt's offscreen platform.

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "app/ImageList.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::fputs("usage: tarnel-icon-export FILE SIZE\n", stderr);
        return 2;
    }
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const int size = std::atoi(argv[2]);
    const QPixmap pixmap = tarnel::WindowIcon().pixmap(size, size);
    return pixmap.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
