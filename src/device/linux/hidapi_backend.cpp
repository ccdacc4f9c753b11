#include "device/linux/hidapi_backend.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "device/discovery.h"

namespace kb {
namespace {

// The kernel limits report descriptors to 4 KiB; anything far beyond that is not one.
constexpr std::size_t kMaxDescriptorSize = 64 * 1024;

void InitHidapiOnce() {
    static std::once_flag once;
    // Never paired with hid_exit: several back ends may live at once.
    std::call_once(once, [] { hid_init(); });
}

std::optional<std::string> ToUtf8(const wchar_t* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string out;
    for (; *text != L'\0'; ++text) {
        auto c = static_cast<std::uint32_t>(*text);
        if (c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
            c = 0xfffd;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

std::vector<std::uint8_t> ReadReportDescriptor(std::string_view node) {
    std::ifstream file("/sys/class/hidraw/" + std::string(node) + "/device/report_descriptor",
                       std::ios::binary);
    std::vector<std::uint8_t> bytes;
    char c;
    while (bytes.size() < kMaxDescriptorSize && file.get(c)) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

class HidapiHandle : public HidHandle {
public:
    explicit HidapiHandle(hid_device* device) : device_(device) {}
    ~HidapiHandle() override { hid_close(device_); }
    HidapiHandle(const HidapiHandle&) = delete;
    HidapiHandle& operator=(const HidapiHandle&) = delete;

    bool SetFeature(const Report& report) override {
        return hid_send_feature_report(device_, report.data(), report.size()) ==
               static_cast<int>(report.size());
    }

    bool GetFeature(Report& report) override {
        Report reply = report;
        if (hid_get_feature_report(device_, reply.data(), reply.size()) !=
            static_cast<int>(reply.size())) {
            return false;
        }
        report = reply;
        return true;
    }

private:
    hid_device* device_;
};

}  // namespace

OpenFailure OpenFailureOfErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return OpenFailure::NoPermission;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailure::NotFound;
        default:
            return OpenFailure::Other;
    }
}

std::vector<HidInterfaceInfo> ExpandCollections(const HidInterfaceInfo& device,
                                                const std::vector<TopLevelCollection>& collections,
                                                std::string_view node) {
    std::vector<HidInterfaceInfo> entries;
    if (collections.empty()) {
        HidInterfaceInfo entry = device;
        entry.collection = -1;
        entry.interfacePath =
            MakeInterfacePath(entry.vendorId, entry.productId, entry.interfaceNumber, -1, node);
        entries.push_back(std::move(entry));
        return entries;
    }
    for (std::size_t i = 0; i < collections.size(); ++i) {
        HidInterfaceInfo entry = device;
        entry.collection = collections.size() == 1 ? -1 : static_cast<int>(i + 1);
        entry.usagePage = collections[i].usagePage;
        entry.usage = collections[i].usage;
        entry.interfacePath = MakeInterfacePath(entry.vendorId, entry.productId,
                                                entry.interfaceNumber, entry.collection, node);
        entries.push_back(std::move(entry));
    }
    return entries;
}

HidapiBackend::HidapiBackend() {
    InitHidapiOnce();
}

std::vector<HidInterfaceInfo> HidapiBackend::Enumerate() {
    std::vector<HidInterfaceInfo> result;
    hid_device_info* list = hid_enumerate(0, 0);
    // hidapi lists a node once per usage, nested ones included; the descriptor decides instead.
    std::set<std::string> seen;
    for (const hid_device_info* device = list; device != nullptr; device = device->next) {
        if (device->path == nullptr || !seen.insert(device->path).second) {
            continue;
        }
        HidInterfaceInfo info;
        info.path = device->path;
        info.vendorId = device->vendor_id;
        info.productId = device->product_id;
        info.interfaceNumber = device->interface_number;
        info.versionNumber = device->release_number;
        info.usagePage = device->usage_page;
        info.usage = device->usage;
        info.serialNumber = ToUtf8(device->serial_number);
        info.manufacturer = ToUtf8(device->manufacturer_string);
        info.product = ToUtf8(device->product_string);

        const std::string_view path = info.path;
        const std::string node(path.substr(path.find_last_of('/') + 1));
        const auto collections = ParseTopLevelCollections(ReadReportDescriptor(node));
        for (auto& entry : ExpandCollections(info, collections, node)) {
            result.push_back(std::move(entry));
        }
    }
    hid_free_enumeration(list);
    return result;
}

std::unique_ptr<HidHandle> HidapiBackend::Open(const std::string& path) {
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
        return nullptr;
    }
    return std::make_unique<HidapiHandle>(device);
}

OpenFailure HidapiBackend::WhyOpenFailed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return OpenFailure::Other;
    }
    return OpenFailureOfErrno(errno);
}

std::int64_t HidapiBackend::Probe(HidInterfaceInfo& info) {
    const int fd = ::open(info.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
    }
    return fd;
}

}  // namespace kb
