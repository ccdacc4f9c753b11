#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/hid_backend.h"

namespace kb::test {

// A scripted back end: interfaces to list, paths that refuse to open, replies to feature reads,
// and a log of what was asked of it.
class FakeBackend : public HidBackend {
public:
    struct Shared {
        std::vector<std::string> log;  // "enumerate", "open <path>", "close <path>", ...
        int liveHandles = 0;
        bool unplugged = false;
        Report reply{};
        std::vector<Report> sent;
    };

    std::vector<HidInterfaceInfo> interfaces;
    std::set<std::string> unopenable;
    OpenFailure unopenableReason = OpenFailure::Other;  // what WhyOpenFailed answers for them

    std::shared_ptr<Shared> shared = std::make_shared<Shared>();

    std::vector<HidInterfaceInfo> Enumerate() override {
        shared->log.push_back("enumerate");
        return interfaces;
    }

    std::unique_ptr<HidHandle> Open(const std::string& path) override {
        shared->log.push_back("open " + path);
        if (unopenable.count(path) != 0) {
            return nullptr;
        }
        return std::make_unique<Handle>(shared, path, ++opens_);
    }

    OpenFailure WhyOpenFailed(const std::string& path) override {
        return unopenable.count(path) != 0 ? unopenableReason : OpenFailure::Other;
    }

    void Add(const std::string& interfacePath, const std::string& path) {
        HidInterfaceInfo info;
        info.interfacePath = interfacePath;
        info.path = path;
        interfaces.push_back(info);
    }

private:
    class Handle : public HidHandle {
    public:
        Handle(std::shared_ptr<Shared> shared, std::string path, int id)
            : shared_(std::move(shared)), path_(std::move(path)), id_(id) {
            ++shared_->liveHandles;
        }
        ~Handle() override {
            --shared_->liveHandles;
            shared_->log.push_back("close " + path_);
        }
        bool SetFeature(const Report& report) override {
            shared_->log.push_back("set " + path_);
            if (shared_->unplugged) {
                return false;
            }
            shared_->sent.push_back(report);
            return true;
        }
        bool GetFeature(Report& report) override {
            shared_->log.push_back("get " + path_);
            if (shared_->unplugged) {
                report[7] = 0xee;  // a careless back end scribbling on failure
                return false;
            }
            report = shared_->reply;
            return true;
        }
        std::int64_t NativeHandle() const override { return 0x100 + id_; }

    private:
        std::shared_ptr<Shared> shared_;
        std::string path_;
        int id_;
    };

    int opens_ = 0;
};

}  // namespace kb::test
