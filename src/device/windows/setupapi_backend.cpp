#include "device/windows/setupapi_backend.h"

#include <windows.h>

#include <setupapi.h>

#include <cstdint>
#include <optional>

#include "config/wide_text.h"
#include "device/discovery.h"

// The HID headers come from the driver kit and declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
}

namespace kb {
namespace {

// Read/write, as the keyboard's feature reports need; others may have it open too.
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kOverlappedNormal = FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL;

// A USB string descriptor holds at most 126 characters.
constexpr ULONG kStringChars = 128;

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (Valid()) {
            CloseHandle(handle_);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

HANDLE OpenPath(const std::string& path, DWORD access, DWORD flags) {
    return CreateFileW(WideFromUtf8(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       flags, nullptr);
}

std::int64_t HandleValue(HANDLE handle) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(handle));
}

using StringQuery = BOOLEAN(__stdcall*)(HANDLE, PVOID, ULONG);

std::optional<std::string> QueryString(HANDLE handle, StringQuery query) {
    wchar_t text[kStringChars] = {};
    if (!query(handle, text, sizeof text)) {
        return std::nullopt;
    }
    text[kStringChars - 1] = L'\0';
    return Utf8FromWide(text);
}

// Version, usage and strings; the ids too when the path did not give them.
void ReadDeviceInfo(HANDLE handle, HidInterfaceInfo& info) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (HidD_GetAttributes(handle, &attributes)) {
        info.vendorId = attributes.VendorID;
        info.productId = attributes.ProductID;
        info.versionNumber = attributes.VersionNumber;
    }
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(handle, &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            info.usagePage = caps.UsagePage;
            info.usage = caps.Usage;
        }
        HidD_FreePreparsedData(preparsed);
    }
    info.manufacturer = QueryString(handle, HidD_GetManufacturerString);
    info.product = QueryString(handle, HidD_GetProductString);
    info.serialNumber = QueryString(handle, HidD_GetSerialNumberString);
}

void ClearDeviceInfo(HidInterfaceInfo& info) {
    info.versionNumber = 0;
    info.usagePage = 0;
    info.usage = 0;
    info.manufacturer.reset();
    info.product.reset();
    info.serialNumber.reset();
}

class WinHidHandle : public HidHandle {
public:
    explicit WinHidHandle(HANDLE handle) : handle_(handle) {}
    ~WinHidHandle() override { CloseHandle(handle_); }
    WinHidHandle(const WinHidHandle&) = delete;
    WinHidHandle& operator=(const WinHidHandle&) = delete;

    bool SetFeature(const Report& report) override {
        Report buffer = report;
        return HidD_SetFeature(handle_, buffer.data(), static_cast<ULONG>(buffer.size())) != 0;
    }

    bool GetFeature(Report& report) override {
        Report buffer = report;
        if (!HidD_GetFeature(handle_, buffer.data(), static_cast<ULONG>(buffer.size()))) {
            return false;
        }
        report = buffer;
        return true;
    }

    std::int64_t NativeHandle() const override { return HandleValue(handle_); }

private:
    HANDLE handle_;
};

}  // namespace

std::vector<HidInterfaceInfo> SetupApiBackend::Enumerate() {
    std::vector<HidInterfaceInfo> interfaces;
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return interfaces;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &data)) {
            break;
        }
        DWORD size = 0;
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(DWORD)) {
            continue;
        }
        // DWORD elements keep the record aligned for its cbSize member.
        std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        // The size of the fixed part of the record, which differs between 32- and 64-bit builds.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) {
            continue;
        }
        HidInterfaceInfo info;
        info.path = Utf8FromWide(detail->DevicePath);
        info.interfacePath = info.path;
        if (const std::optional<PathFields> fields = ParseInterfacePath(info.interfacePath)) {
            info.vendorId = static_cast<std::uint16_t>(fields->vid < 0 ? 0 : fields->vid);
            info.productId = static_cast<std::uint16_t>(fields->pid < 0 ? 0 : fields->pid);
            info.interfaceNumber = fields->mi;
            info.collection = fields->col;
        }
        // Access 0 queries a device that another program holds open exclusively as well.
        const ScopedHandle query(OpenPath(info.path, 0, 0));
        if (query.Valid()) {
            ReadDeviceInfo(query.Get(), info);
        }
        interfaces.push_back(std::move(info));
    }
    SetupDiDestroyDeviceInfoList(set);
    return interfaces;
}

std::unique_ptr<HidHandle> SetupApiBackend::Open(const std::string& path) {
    const HANDLE handle = OpenPath(path, kReadWrite, kOverlappedNormal);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<WinHidHandle>(handle);
}

std::int64_t SetupApiBackend::Probe(HidInterfaceInfo& info) {
    const ScopedHandle probe(OpenPath(info.path, kReadWrite, kOverlappedNormal));
    if (!probe.Valid()) {
        ClearDeviceInfo(info);
        return HandleValue(INVALID_HANDLE_VALUE);
    }
    ReadDeviceInfo(probe.Get(), info);
    return HandleValue(probe.Get());
}

}  // namespace kb
