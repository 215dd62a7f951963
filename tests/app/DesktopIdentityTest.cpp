// The names by which docks match the window to the installed desktop entry.

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include "app/Application.h"

namespace tarnel {
namespace {

TEST(DesktopIdentity, TheEntryOfTheDesktopFileNameNamesTheWindowClass) {
    const QString savedFileName = QGuiApplication::desktopFileName();
    const QString savedName = QCoreApplication::applicationName();
    SetDesktopIdentity();
    // Qt on X11 takes the window class from the application name; Wayland's application
    // ID is the desktop file name.
    const QString windowClass = QCoreApplication::applicationName();
    const QString path = QStringLiteral(TARNEL_SOURCE_DIR "/packaging/") +
                         QGuiApplication::desktopFileName() + QStringLiteral(".desktop");
    QGuiApplication::setDesktopFileName(savedFileName);
    QCoreApplication::setApplicationName(savedName);

    QFile entry(path);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text)) << path.toStdString();
    QStringList classes;
    QTextStream lines(&entry);
    while (!lines.atEnd()) {
        const QString line = lines.readLine();
        if (line.startsWith(QStringLiteral("StartupWMClass="))) {
            classes << line.section(u'=', 1);
        }
    }
    EXPECT_EQ(classes, QStringList{windowClass});
}

}  // namespace
}  // namespace tarnel
