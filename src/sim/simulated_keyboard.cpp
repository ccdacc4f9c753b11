#include "sim/simulated_keyboard.h"

#include <filesystem>
#include <system_error>

#include "util/file_read.h"
#include "util/unreadable_copy.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <random>

namespace kb {
namespace {

constexpr std::uint8_t kReportId = 0x07;
constexpr std::uint8_t kSelectProfile = 0xFC;
constexpr std::uint8_t kQuerySlots = 0xFB;
constexpr std::uint8_t kSetRemap = 0xFA;
constexpr std::uint8_t kWriteMacro = 0xF1;
constexpr std::uint8_t kSetLighting = 0xF7;
constexpr std::uint8_t kFactoryReset = 0xF0;
constexpr std::uint8_t kContinuation = 0x00;
constexpr std::uint8_t kQueryParameter = 0x01;
constexpr std::uint8_t kResetParameter = 0xAA;

constexpr int kDefaultVendorId = 0x258a;
constexpr int kDefaultProductId = 0x0049;
constexpr int kDefaultInterface = 1;
constexpr std::size_t kTransferReports = kSimMacroRecordSize / 6;  // 28
constexpr std::uint16_t kVersionNumber = 0x0105;
// Bounds the exchange log of a long demo session; tests look at far fewer.
constexpr std::size_t kMaxExchanges = 100000;
constexpr const char* kHidClassGuid = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

struct Usage {
    std::uint16_t page;
    std::uint16_t usage;
};
constexpr Usage kBootKeyboard{0x01, 0x06};
constexpr Usage kMouse{0x01, 0x02};
constexpr Usage kConsumerControl{0x0C, 0x01};
constexpr Usage kSystemControl{0x01, 0x80};
constexpr Usage kVendor{0xFF00, 0x01};

std::string Format(const char* format, unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The discovery matcher reads only the last hex digit of "&mi_NN" and "&colNN", so two numbers
// with the same last digit would look alike to it.
bool LookAlike(int a, int b) {
    return (a & 0xF) == (b & 0xF);
}

// The n-th (0-based) number from `first` on that does not look like `taken`.
int NthFreeNumber(int first, int taken, int n) {
    for (int number = first;; ++number) {
        if (!LookAlike(number, taken) && n-- == 0) {
            return number;
        }
    }
}

struct Entry {
    HidInterfaceInfo info;
    bool protocol = false;
};

}  // namespace

struct SimulatedKeyboard::Shared {
    mutable std::mutex mutex;

    // Identity, fixed at construction.
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int interfaceNumber = 0;
    int collection = -1;
    std::vector<Entry> entries;
    std::string stateFile;
    bool stateUnreadable = false;

    // Firmware.
    SimKeyboardState state;
    std::deque<Report> replies;
    std::optional<SimMacroRecord> transfer;
    std::size_t transferReports = 0;

    // Plug sessions and faults.
    bool plugged = true;
    unsigned session = 0;
    bool failAll = false;
    int failNext = 0;
    int wrongLength = 0;
    int garbage = 0;
    std::optional<std::array<std::uint8_t, 7>> garbageBytes;
    bool openFails = false;
    int unplugAfter = -1;
    bool openDenied = false;  // the open failure is a refusal for lack of permission
    std::mt19937 random{0x5eed};
    std::deque<SimExchange> exchanges;

    void Log(SimExchange::Kind kind, const Report& report, bool ok) {
        if (exchanges.size() == kMaxExchanges) {
            exchanges.pop_front();
        }
        exchanges.push_back({kind, report, ok});
    }

    void Save() {
        if (stateFile.empty()) {
            return;
        }
        // A state file that was there but unreadable is kept before the first save replaces it.
        if (stateUnreadable) {
            if (!KeepUnreadableCopy(PathFromUtf8(stateFile))) {
                return;
            }
            stateUnreadable = false;
        }
        SaveSimState(stateFile, state);  // a failed save leaves the old file; keep running
    }

    void UnplugLocked() {
        if (plugged) {
            plugged = false;
            ++session;
            replies.clear();
            transfer.reset();
        }
    }

    // True while the handle's session is current; counts the exchange towards an unplug.
    bool Reachable(unsigned handleSession) {
        if (!plugged || handleSession != session) {
            return false;
        }
        if (unplugAfter == 0) {
            unplugAfter = -1;
            UnplugLocked();
            return false;
        }
        if (unplugAfter > 0) {
            --unplugAfter;
        }
        return true;
    }

    // Exchange faults; true when this exchange must fail.
    bool ExchangeFails() {
        if (failAll) {
            return true;
        }
        if (failNext > 0) {
            --failNext;
            return true;
        }
        return false;
    }

    // Counts of kEveryRead never run out.
    static bool TakeFault(int& count) {
        if (count == 0) {
            return false;
        }
        if (count > 0) {
            --count;
        }
        return true;
    }

    void PrepareSlotReplies() {
        const SimProfileState& profile =
            state.profiles[static_cast<std::size_t>(state.activeProfile - 1)];
        std::array<std::uint8_t, 14> macroBlock{};
        std::array<std::uint8_t, 14> remapBlock{};
        macroBlock[0] = static_cast<std::uint8_t>(state.activeProfile);
        for (std::size_t slot = 0; slot < kSimSlotCount; ++slot) {
            macroBlock[slot + 1] = profile.macros[slot][2];
            remapBlock[slot] = profile.remaps[slot].key;
        }
        replies.clear();
        for (const auto* block : {&macroBlock, &remapBlock}) {
            for (std::size_t half = 0; half < 2; ++half) {
                Report reply{kReportId};
                std::copy_n(block->begin() + static_cast<std::ptrdiff_t>(7 * half), 7,
                            reply.begin() + 1);
                replies.push_back(reply);
            }
        }
    }

    void CompleteTransfer(const SimMacroRecord& record) {
        const int profile = record[0];
        const int slot = record[1];
        if (profile < 1 || profile > kSimProfileCount || slot < 1 || slot > kSimSlotCount) {
            return;
        }
        SimMacroRecord& stored = state.profiles[static_cast<std::size_t>(profile - 1)]
                                     .macros[static_cast<std::size_t>(slot - 1)];
        // No key or no repeat count: the program clears a slot this way.
        stored = (record[2] == 0 || record[3] == 0) ? SimMacroRecord{} : record;
    }

    void Execute(const Report& report) {
        if (report[0] != kReportId) {
            return;
        }
        const std::uint8_t command = report[1];
        if (command == kContinuation) {
            if (transfer) {
                std::copy(report.begin() + 2, report.end(),
                          transfer->begin() + static_cast<std::ptrdiff_t>(6 * transferReports));
                if (++transferReports == kTransferReports) {
                    CompleteTransfer(*transfer);
                    transfer.reset();
                }
            }
            return;
        }
        // Any other command ends a partial transfer; a new first report starts over.
        transfer.reset();
        switch (command) {
            case kSelectProfile:
                if (report[2] >= 1 && report[2] <= kSimProfileCount) {
                    state.activeProfile = report[2];
                }
                break;
            case kQuerySlots:
                if (report[2] == kQueryParameter) {
                    PrepareSlotReplies();
                }
                break;
            case kSetRemap: {
                const int profile = report[2];
                const int slot = report[3];
                if (profile >= 1 && profile <= kSimProfileCount && slot >= 1 &&
                    slot <= kSimSlotCount) {
                    SimRemapEntry& entry = state.profiles[static_cast<std::size_t>(profile - 1)]
                                               .remaps[static_cast<std::size_t>(slot - 1)];
                    entry = report[4] == 0 ? SimRemapEntry{} : SimRemapEntry{report[4], report[6]};
                }
                break;
            }
            case kWriteMacro:
                transfer = SimMacroRecord{};
                std::copy(report.begin() + 2, report.end(), transfer->begin());
                transferReports = 1;
                break;
            case kSetLighting:
                if (report[2] < kSimEffectCount) {
                    state.effect = report[2];
                    std::copy(report.begin() + 3, report.end(), state.lighting[report[2]].begin());
                }
                break;
            case kFactoryReset:
                if (report[2] == kResetParameter) {
                    state = SimKeyboardState{};
                }
                break;
            default:
                break;
        }
    }

    bool SetFeature(unsigned handleSession, const Report& report) {
        std::lock_guard lock(mutex);
        if (!Reachable(handleSession)) {
            return false;
        }
        const bool ok = !ExchangeFails();
        Log(SimExchange::Kind::Set, report, ok);
        if (ok) {
            const SimKeyboardState before = state;
            Execute(report);
            if (!(state == before)) {
                Save();
            }
        }
        return ok;
    }

    bool GetFeature(unsigned handleSession, Report& report) {
        std::lock_guard lock(mutex);
        if (!Reachable(handleSession)) {
            return false;
        }
        // Only report 7 exists; asking for another one fails like on the device.
        bool ok = !ExchangeFails() && report[0] == kReportId;
        if (ok) {
            Report reply{kReportId};
            if (!replies.empty()) {
                reply = replies.front();
                replies.pop_front();
            }
            if (TakeFault(wrongLength)) {
                ok = false;
            } else if (TakeFault(garbage)) {
                for (std::size_t i = 1; i < reply.size(); ++i) {
                    reply[i] = garbageBytes ? (*garbageBytes)[i - 1]
                                            : static_cast<std::uint8_t>(random() & 0xFF);
                }
                report = reply;
            } else {
                report = reply;
            }
        }
        Log(SimExchange::Kind::Get, report, ok);
        return ok;
    }
};

class SimulatedKeyboard::Handle : public HidHandle {
public:
    Handle(std::weak_ptr<Shared> shared, unsigned session, bool protocol)
        : shared_(std::move(shared)), session_(session), protocol_(protocol) {}

    bool SetFeature(const Report& report) override {
        auto shared = protocol_ ? shared_.lock() : nullptr;
        return shared && shared->SetFeature(session_, report);
    }
    bool GetFeature(Report& report) override {
        auto shared = protocol_ ? shared_.lock() : nullptr;
        return shared && shared->GetFeature(session_, report);
    }

private:
    std::weak_ptr<Shared> shared_;
    unsigned session_;
    bool protocol_;
};

SimulatedKeyboard::SimulatedKeyboard(int vid, int pid, int interfaceNumber, int collection,
                                     std::string stateFile)
    : shared_(std::make_shared<Shared>()) {
    Shared& s = *shared_;
    s.vendorId = static_cast<std::uint16_t>(vid > 0 ? vid : kDefaultVendorId);
    s.productId = static_cast<std::uint16_t>(pid > 0 ? pid : kDefaultProductId);
    s.interfaceNumber = interfaceNumber >= 0 ? std::min(interfaceNumber, 0xFF) : kDefaultInterface;
    s.collection = collection >= 0 ? std::min(collection, 0xFF) : -1;
    s.stateFile = std::move(stateFile);

    const std::string device =
        Format("hid#vid_%04x", s.vendorId) + Format("&pid_%04x", s.productId);
    auto add = [&](int mi, int col, int index, Usage usage, bool protocol) {
        Entry entry;
        HidInterfaceInfo& info = entry.info;
        std::string location = Format("&mi_%02x", static_cast<unsigned>(mi));
        if (col >= 0) {
            location += Format("&col%02x", static_cast<unsigned>(col));
        }
        info.interfacePath = "\\\\?\\" + device + location + "#7&" +
                             Format("%x", 0x2a1f0c2u + 0x1000u * static_cast<unsigned>(mi)) +
                             "&0&" + Format("%04x", static_cast<unsigned>(index)) + "#" +
                             kHidClassGuid;
        info.path = "sim:" + location.substr(1);
        info.vendorId = s.vendorId;
        info.productId = s.productId;
        info.interfaceNumber = mi;
        info.collection = col;
        info.versionNumber = kVersionNumber;
        info.usagePage = usage.page;
        info.usage = usage.usage;
        info.manufacturer = "Simulated Devices";
        info.product = "Simulated Gaming Keyboard";
        entry.protocol = protocol;
        s.entries.push_back(std::move(entry));
    };
    // Boot keyboard and a mouse-like interface first, so a discovery that takes the last match
    // of wildcard criteria lands on the protocol interface.
    add(NthFreeNumber(0, s.interfaceNumber, 0), -1, 0, kBootKeyboard, false);
    add(NthFreeNumber(0, s.interfaceNumber, 1), -1, 0, kMouse, false);
    if (s.collection < 0) {
        add(s.interfaceNumber, -1, 0, kVendor, true);
    } else {
        struct Collection {
            int number;
            Usage usage;
            bool protocol;
        };
        std::vector<Collection> collections = {
            {s.collection, kVendor, true},
            {NthFreeNumber(1, s.collection, 0), kConsumerControl, false},
            {NthFreeNumber(1, s.collection, 1), kSystemControl, false}};
        std::sort(collections.begin(), collections.end(),
                  [](const Collection& a, const Collection& b) { return a.number < b.number; });
        for (std::size_t i = 0; i < collections.size(); ++i) {
            add(s.interfaceNumber, collections[i].number, static_cast<int>(i), collections[i].usage,
                collections[i].protocol);
        }
    }

    if (!s.stateFile.empty() && !LoadSimState(s.stateFile, s.state)) {
        // Unreadable: a fresh keyboard, and the file is kept aside before it is replaced.
        std::error_code ec;
        s.stateUnreadable = std::filesystem::exists(PathFromUtf8(s.stateFile), ec);
    }
}

SimulatedKeyboard::~SimulatedKeyboard() = default;

std::uint16_t SimulatedKeyboard::VendorId() const {
    return shared_->vendorId;
}
std::uint16_t SimulatedKeyboard::ProductId() const {
    return shared_->productId;
}
int SimulatedKeyboard::InterfaceNumber() const {
    return shared_->interfaceNumber;
}
int SimulatedKeyboard::Collection() const {
    return shared_->collection;
}

std::vector<HidInterfaceInfo> SimulatedKeyboard::Interfaces() const {
    std::vector<HidInterfaceInfo> list;
    for (const Entry& entry : shared_->entries) {
        list.push_back(entry.info);
    }
    return list;
}

std::string SimulatedKeyboard::ProtocolPath() const {
    for (const Entry& entry : shared_->entries) {
        if (entry.protocol) {
            return entry.info.path;
        }
    }
    return {};
}

std::unique_ptr<HidHandle> SimulatedKeyboard::Open(const std::string& path) {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->plugged) {
        return nullptr;
    }
    for (const Entry& entry : shared_->entries) {
        if (entry.info.path == path) {
            if (entry.protocol && shared_->openFails) {
                return nullptr;
            }
            return std::make_unique<Handle>(shared_, shared_->session, entry.protocol);
        }
    }
    return nullptr;
}

SimKeyboardState SimulatedKeyboard::State() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state;
}

bool SimulatedKeyboard::SetState(const SimKeyboardState& state) {
    if (state.activeProfile < 1 || state.activeProfile > kSimProfileCount || state.effect < 0 ||
        state.effect >= kSimEffectCount) {
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    shared_->state = state;
    shared_->Save();
    return true;
}

SimMacroRecord SimulatedKeyboard::MacroRecord(int profile, int slot) const {
    if (profile < 1 || profile > kSimProfileCount || slot < 1 || slot > kSimSlotCount) {
        return {};
    }
    std::lock_guard lock(shared_->mutex);
    return shared_->state.profiles[static_cast<std::size_t>(profile - 1)]
        .macros[static_cast<std::size_t>(slot - 1)];
}

SimRemapEntry SimulatedKeyboard::Remap(int profile, int slot) const {
    if (profile < 1 || profile > kSimProfileCount || slot < 1 || slot > kSimSlotCount) {
        return {};
    }
    std::lock_guard lock(shared_->mutex);
    return shared_->state.profiles[static_cast<std::size_t>(profile - 1)]
        .remaps[static_cast<std::size_t>(slot - 1)];
}

int SimulatedKeyboard::ActiveProfile() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state.activeProfile;
}

int SimulatedKeyboard::LightingEffect() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state.effect;
}

SimLightingRecord SimulatedKeyboard::LightingRecord(int effect) const {
    if (effect < 0 || effect >= kSimEffectCount) {
        return {};
    }
    std::lock_guard lock(shared_->mutex);
    return shared_->state.lighting[static_cast<std::size_t>(effect)];
}

std::string SimulatedKeyboard::Dump() const {
    return DumpSimState(State());
}

const std::string& SimulatedKeyboard::StateFile() const {
    return shared_->stateFile;
}

bool SimulatedKeyboard::StateFileUnreadable() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->stateUnreadable;
}

std::vector<SimExchange> SimulatedKeyboard::Exchanges() const {
    std::lock_guard lock(shared_->mutex);
    return {shared_->exchanges.begin(), shared_->exchanges.end()};
}

void SimulatedKeyboard::ClearExchanges() {
    std::lock_guard lock(shared_->mutex);
    shared_->exchanges.clear();
}

void SimulatedKeyboard::FailAllExchanges(bool fail) {
    std::lock_guard lock(shared_->mutex);
    shared_->failAll = fail;
}

void SimulatedKeyboard::FailNextExchanges(int count) {
    std::lock_guard lock(shared_->mutex);
    shared_->failNext = std::max(count, 0);
}

void SimulatedKeyboard::ReplyWithWrongLength(int count) {
    std::lock_guard lock(shared_->mutex);
    shared_->wrongLength = std::max(count, kEveryRead);
}

void SimulatedKeyboard::ReplyWithGarbage(int count,
                                         std::optional<std::array<std::uint8_t, 7>> bytes) {
    std::lock_guard lock(shared_->mutex);
    shared_->garbage = std::max(count, kEveryRead);
    shared_->garbageBytes = bytes;
}

void SimulatedKeyboard::SetOpenFailure(bool fail) {
    std::lock_guard lock(shared_->mutex);
    shared_->openFails = fail;
    shared_->openDenied = false;
}

void SimulatedKeyboard::DenyOpen(bool deny) {
    std::lock_guard lock(shared_->mutex);
    shared_->openFails = deny;
    shared_->openDenied = deny;
}

OpenFailure SimulatedKeyboard::OpenFailureReason() const {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->openFails) {
        return OpenFailure::None;
    }
    return shared_->openDenied ? OpenFailure::NoPermission : OpenFailure::Other;
}

void SimulatedKeyboard::UnplugAfterExchanges(int count) {
    std::lock_guard lock(shared_->mutex);
    shared_->unplugAfter = std::max(count, -1);
}

void SimulatedKeyboard::ClearFaults() {
    std::lock_guard lock(shared_->mutex);
    shared_->unplugAfter = -1;
    shared_->failAll = false;
    shared_->failNext = 0;
    shared_->wrongLength = 0;
    shared_->garbage = 0;
    shared_->garbageBytes.reset();
    shared_->openFails = false;
    shared_->openDenied = false;
}

void SimulatedKeyboard::Unplug() {
    std::lock_guard lock(shared_->mutex);
    shared_->UnplugLocked();
}

void SimulatedKeyboard::Plug() {
    std::lock_guard lock(shared_->mutex);
    shared_->plugged = true;
}

bool SimulatedKeyboard::IsPlugged() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->plugged;
}

}  // namespace kb
