#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <string>

#include "app/MessageBoxes.h"
#include "report/Reportlst.h"

namespace tarnel {
namespace {

// The detail names a file as the layers below hold it; the box shows its letters, not the
// bytes read in another code page.
TEST(MessageBox, TheDetailShowsTheLettersOfANonAsciiPath) {
    const std::string detail = "C:\\\xC3\x9Cmlaut\\D\xC3\xA9mo \xC3\x85ngstr\xC3\xB6m\\demo.rom";
    QString shown = QStringLiteral("(no box)");
    QTimer::singleShot(0, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                const auto* label =
                    box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
                shown = label != nullptr ? label->text() : QStringLiteral("(no detail)");
                box->done(0);
            }
        }
    });
    ShowMessageBox("Cannot open the file", "Programming error", kBoxIconStop, detail);
    EXPECT_EQ(shown.toStdU16String(), u"C:\\\u00DCmlaut\\D\u00E9mo \u00C5ngstr\u00F6m\\demo.rom");
}

}  // namespace
}  // namespace tarnel
