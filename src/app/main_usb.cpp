// tarnel: the tool on real adapters, through the USB backend.

#include "app/Application.h"
#include "platform/DriverBackend.h"
#include "platform/UsbBackend.h"

int main(int argc, char** argv) {
    tarnel::InstallDriverBackend(tarnel::MakeUsbBackend());
    const int status = tarnel::TarnelMain(argc, argv);
    tarnel::InstallDriverBackend(nullptr);
    return status;
}
