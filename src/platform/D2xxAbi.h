#pragma once
// The binary interface of the D2XX driver library's functions, as both the backend that
// loads the library and the simulated stand-in library see them: 32-bit DWORD and ULONG
// (unsigned long is 32 bits on Windows), handles as pointers, WINAPI on Windows.

#include <cstdint>

#ifdef _WIN32
#define TARNEL_D2XX_API __stdcall
#else
#define TARNEL_D2XX_API
#endif

namespace tarnel::d2xx {

using Dword = std::uint32_t;
using Handle = void*;

// The functions the backend looks up by name, in the order of kFunctionNames.
struct Functions {
    Dword(TARNEL_D2XX_API* ListDevices)(void* arg1, void* arg2, Dword flags);
    Dword(TARNEL_D2XX_API* Open)(int deviceNumber, Handle* handle);
    Dword(TARNEL_D2XX_API* GetDeviceInfo)(Handle handle, Dword* type, Dword* id, char* serial,
                                          char* description, void* reserved);
    Dword(TARNEL_D2XX_API* Close)(Handle handle);
    Dword(TARNEL_D2XX_API* SetLatencyTimer)(Handle handle, unsigned char latencyMs);
    Dword(TARNEL_D2XX_API* SetTimeouts)(Handle handle, Dword readMs, Dword writeMs);
    Dword(TARNEL_D2XX_API* Purge)(Handle handle, Dword mask);
    Dword(TARNEL_D2XX_API* Write)(Handle handle, void* buffer, Dword count, Dword* written);
    Dword(TARNEL_D2XX_API* Read)(Handle handle, void* buffer, Dword count, Dword* got);
    Dword(TARNEL_D2XX_API* SetBitMode)(Handle handle, unsigned char mask, unsigned char mode);
    Dword(TARNEL_D2XX_API* SetBaudRate)(Handle handle, Dword baud);
    Dword(TARNEL_D2XX_API* CreateDeviceInfoList)(Dword* count);
    Dword(TARNEL_D2XX_API* GetDeviceInfoDetail)(Dword index, Dword* flags, Dword* type, Dword* id,
                                                Dword* location, void* serial, void* description,
                                                Handle* handle);
};

}  // namespace tarnel::d2xx
