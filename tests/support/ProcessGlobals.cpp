#include "support/ProcessGlobals.h"

#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "platform/Sleep.h"
#include "report/Report.h"

namespace tarnel::test {

void ResetProcessGlobals() {
    AbandonLink();
    TheAdapterLink() = AdapterLink{};
    TheAdapterLink().handle = kNoDevice;
    autoFlush = 0;
    exitCode = 0;
    quietMode = 0;
    InstallDriverBackend(nullptr);
    SetSleepFunction({});
}

}  // namespace tarnel::test
