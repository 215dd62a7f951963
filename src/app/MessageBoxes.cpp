#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include "report/Reportlst.h"

namespace tarnel {

int ShowMessageBox(const char* text, const char* caption, std::int32_t flags) {
    const auto icon = (flags & kBoxIconStop) != 0 ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromUtf8(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return kButtonOk;
}

}  // namespace tarnel
