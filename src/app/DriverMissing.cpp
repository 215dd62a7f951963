#include "app/DriverMissing.h"

#include <QApplication>
#include <QMessageBox>

#include "app/NativePath.h"

namespace tarnel {

void ShowDriverMissingBox(int argc, char** argv, const std::string& reason) {
    static char fallbackName[] = "tarnel";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    const QApplication application(qtArgc, qtArgv);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarnel"),
                    QStringLiteral("Tarnel cannot reach the adapter: its driver library "
                                   "ftd2xx.dll could not be loaded."),
                    QMessageBox::Ok);
    box.setInformativeText(
        PathToQString(reason) +
        QStringLiteral("\n\nTarnel looks for ftd2xx.dll in the folder of tarnel.exe and in "
                       "the Windows system folder (or where TARNEL_D2XX_LIBRARY names it). "
                       "The library comes with the D2XX driver of the adapter's USB chip "
                       "(USB ID 0403:F1A0): install that driver, or copy ftd2xx.dll into "
                       "the folder of tarnel.exe, then start Tarnel again."));
    box.exec();
}

}  // namespace tarnel
