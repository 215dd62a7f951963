// The USB backend through the real libusb stack, on a machine without an adapter: listing,
// refused opens and calls on handles that name no device. Nothing here needs hardware;
// the tests that assume an empty bus skip themselves when a device of the vendor is
// plugged in.

#include <gtest/gtest.h>

#include <functional>

#include "link/AdapterLink.h"
#include "platform/DriverBackend.h"
#include "platform/UsbBackend.h"

namespace tarnel {
namespace {

class UsbBackendTest : public ::testing::Test {
protected:
    std::uint32_t ListedCount() {
        std::uint32_t count = 0xFFFFFFFFu;
        EXPECT_EQ(backend->ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        return count;
    }

    std::unique_ptr<DriverBackend> backend = MakeUsbBackend();
};

TEST_F(UsbBackendTest, ListingRejectsWhatItCannotAnswer) {
    std::uint32_t count = 0;
    EXPECT_EQ(backend->ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
    EXPECT_NE(backend->ListDevices(&count, nullptr, 0), FT_OK);
    EXPECT_EQ(backend->CreateDeviceInfoList(nullptr), FT_INVALID_PARAMETER);
}

TEST_F(UsbBackendTest, NoDeviceListedGivesAnEmptyListAndAFailedOpen) {
    if (ListedCount() != 0) {
        GTEST_SKIP() << "a device of the vendor is plugged in";
    }
    FT_HANDLE handle = kNoDevice;
    EXPECT_EQ(backend->Open(0, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, kNoDevice);
    std::uint32_t count = 7;
    EXPECT_EQ(backend->CreateDeviceInfoList(&count), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(backend->GetDeviceInfoDetail(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr),
              FT_DEVICE_NOT_FOUND);
}

TEST_F(UsbBackendTest, IndexOutOfRangeFailsAndLeavesTheHandle) {
    const std::uint32_t count = ListedCount();
    for (const int index : {-1, static_cast<int>(count), static_cast<int>(count) + 7}) {
        FT_HANDLE handle = kNoDevice;
        EXPECT_EQ(backend->Open(index, &handle), FT_DEVICE_NOT_FOUND) << index;
        EXPECT_EQ(handle, kNoDevice) << index;
    }
    EXPECT_EQ(backend->Open(0, nullptr), FT_INVALID_PARAMETER);
}

TEST_F(UsbBackendTest, EveryCallOnAHandleThatNamesNoDeviceFails) {
    using Call = std::function<FT_STATUS(DriverBackend&, FT_HANDLE)>;
    const std::vector<std::pair<const char*, Call>> calls = {
        {"GetDeviceInfo",
         [](DriverBackend& b, FT_HANDLE h) {
             FT_DEVICE type = 0;
             std::uint32_t id = 0;
             char serial[64] = {};
             char description[64] = {};
             return b.GetDeviceInfo(h, &type, &id, serial, description, nullptr);
         }},
        {"Close", [](DriverBackend& b, FT_HANDLE h) { return b.Close(h); }},
        {"SetLatencyTimer", [](DriverBackend& b, FT_HANDLE h) { return b.SetLatencyTimer(h, 1); }},
        {"SetTimeouts", [](DriverBackend& b, FT_HANDLE h) { return b.SetTimeouts(h, 100, 0); }},
        {"Purge", [](DriverBackend& b, FT_HANDLE h) { return b.Purge(h, 3); }},
        {"Write",
         [](DriverBackend& b, FT_HANDLE h) {
             const std::uint8_t probe = 0xD0;
             std::uint32_t written = 77;
             const FT_STATUS status = b.Write(h, &probe, 1, &written);
             return written == 77 ? status : FT_OK;  // nothing may be reported written
         }},
        {"Read",
         [](DriverBackend& b, FT_HANDLE h) {
             std::uint8_t byte = 0x5A;
             std::uint32_t got = 77;
             const FT_STATUS status = b.Read(h, &byte, 1, &got);
             return got == 77 && byte == 0x5A ? status : FT_OK;
         }},
        {"SetBitMode", [](DriverBackend& b, FT_HANDLE h) { return b.SetBitMode(h, 0x80, 1); }},
        {"SetBaudRate", [](DriverBackend& b, FT_HANDLE h) { return b.SetBaudRate(h, 9600); }},
    };
    for (const FT_HANDLE handle : {FT_HANDLE{0}, FT_HANDLE{1}, FT_HANDLE{0x100}, kNoDevice}) {
        for (const auto& [name, call] : calls) {
            EXPECT_EQ(call(*backend, handle), FT_INVALID_HANDLE) << name << " on " << handle;
        }
    }
}

TEST(UsbBackendLinkTest, OpeningTheLinkWithoutAnAdapterFailsCleanly) {
    InstallDriverBackend(MakeUsbBackend());
    std::uint32_t count = 0;
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    if (count != 0) {
        InstallDriverBackend(nullptr);
        GTEST_SKIP() << "a device of the vendor is plugged in";
    }
    EXPECT_EQ(OpenLink(), kLinkFailed);
    EXPECT_EQ(LinkHoldsDevice(), false);
    InstallDriverBackend(nullptr);
}

}  // namespace
}  // namespace tarnel
