// Set-up services for the model's tests: discovery and the driver installer (which need a network printer and
// the maker's server) answer as the test scripts them, and a call can be held at a gate so the test sees the
// states in between. Queue creation and the expansion probe go to the engine's real services unless the test
// replaces them. Every member is guarded: the model calls from its worker threads.
#pragma once

#include "QuilmPrint/model/SetupServices.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>

namespace TestDoubles {

// A point where a background call waits until the test lets it through.
class Gate {
public:
    void close() { set(false); }
    void open() { set(true); }
    void pass() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return open_; });
    }

private:
    void set(bool open) {
        std::lock_guard lock(mutex_);
        open_ = open;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
};

class SetupDouble : public QuilmPrint::SetupServices {
    template <typename Call> auto locked(Call call) {
        std::lock_guard lock(mutex_);
        return call();
    }
    std::mutex mutex_;
    int finds_ = 0, measurements_ = 0;
    std::vector<std::filesystem::path> detached_, reopened_;

public:
    // What the calls answer.
    std::vector<PrintKit::FoundPrinter> found;
    std::vector<PrintKit::EpsonDriver> drivers;
    std::optional<std::string> installerURL = "https://drivers.invalid/installer.dmg";
    std::vector<double> progress{0.25, 0.5, 1.0};
    std::string openFailure; // thrown by openInstaller when not empty
    std::function<std::string(const PrintKit::FoundPrinter&, const PrintKit::EpsonDriver&,
                              const std::vector<std::string>&)>
        createQueueCall; // none: the engine's
    std::function<std::optional<double>(const std::string&, const PrintKit::PPDPageSize&)>
        measureCall; // none: the engine's
    Gate findGate, createGate;
    // What was asked.
    int finds() { return locked([&] { return finds_; }); }
    int measurements() { return locked([&] { return measurements_; }); }
    std::vector<std::filesystem::path> detached() { return locked([&] { return detached_; }); }
    std::vector<std::filesystem::path> reopened() { return locked([&] { return reopened_; }); }
    void setDrivers(std::vector<PrintKit::EpsonDriver> list) { locked([&] { drivers = std::move(list); }); }
    std::vector<PrintKit::FoundPrinter> discover(std::chrono::milliseconds, const std::atomic<bool>*) override {
        return locked([&] { return found; });
    }
    std::vector<PrintKit::EpsonDriver> installedDrivers() override {
        return locked([&] { return drivers; });
    }
    std::string createQueue(const PrintKit::FoundPrinter& printer, const PrintKit::EpsonDriver& driver,
                            const std::vector<std::string>& existing) override;
    std::optional<std::string> findInstaller(const std::string&, const std::atomic<bool>*) override {
        locked([&] { ++finds_; });
        findGate.pass();
        return locked([&] { return installerURL; });
    }
    std::filesystem::path downloadInstaller(const std::string&, const std::function<void(double)>& report,
                                            const std::atomic<bool>*) override {
        for (double fraction : locked([&] { return progress; }))
            report(fraction);
        return "/nonexistent/installer.dmg";
    }
    std::filesystem::path openInstaller(const std::filesystem::path&) override {
        if (const std::string failure = locked([&] { return openFailure; }); !failure.empty())
            throw std::runtime_error(failure);
        return "/nonexistent/mount";
    }
    void reopenInstaller(const std::filesystem::path& mount) override {
        locked([&] { reopened_.push_back(mount); });
    }
    void detachInstaller(const std::filesystem::path& mount) override {
        locked([&] { detached_.push_back(mount); });
    }
    std::optional<double> measureExpansion(const std::string& queue,
                                           const PrintKit::PPDPageSize& page) override;
};
} // namespace TestDoubles
