#include "app/MessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>
#include <string>

#include "app/NativePath.h"
#include "report/Reportlst.h"

namespace tarnel {
namespace {

// Room that the window manager takes from a title bar for the window icon and its
// buttons, and the margin around the title, in pixels at 96 dots per inch.
constexpr int kTitleBarRoom = 96;

// A box only as wide as its text would cut a longer title ("Programming error"): make it
// wide enough for the title in a bold face of the window font, as title bars use.
void FitTitle(QMessageBox& box, const QString& title) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarRoom;
    // A message box sizes itself from its layout, so the width goes in as a spacer.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

}  // namespace

int ShowMessageBox(const char* text, const char* caption, std::int32_t flags,
                   std::string_view detail) {
    const auto icon = (flags & kBoxIconStop) != 0 ? QMessageBox::Critical : QMessageBox::NoIcon;
    const QString title = QString::fromUtf8(caption);
    QMessageBox box(icon, title, QString::fromUtf8(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    if (!detail.empty()) {
        // The detail names files as the layers below take them (UTF-8 on Windows).
        box.setInformativeText(PathToQString(std::string(detail)));
        // Plain text: a file name is shown as it is, never read as markup.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    // A title bar with the close box only leaves the most room for the title.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
    box.setWindowModality(Qt::ApplicationModal);
    FitTitle(box, title);
    box.exec();
    return kButtonOk;
}

}  // namespace tarnel
