#include "support/ProcessGlobals.h"

#include "link/AdapterLink.h"
#include "platform/AdapterSelection.h"
#include "platform/DriverBackend.h"
#include "platform/Sleep.h"
#include "program/StopRequest.h"
#include "report/Report.h"

namespace tarnel::test {

void ResetProcessGlobals() {
    ResetLink();
    ResetReportState();
    InstallDriverBackend(nullptr);
    ChooseAdapter(std::nullopt);
    SetSleepFunction({});
    ClearStopRequest();
}

}  // namespace tarnel::test
