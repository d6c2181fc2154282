// Discovery against a real avahi-daemon in a network namespace of its own (scripts/avahi-testbed.sh), and
// against no daemon at all. libdbus reads the bus address once per process, so each case needs a process of
// its own, as ctest runs them.
#include "PrintKit/printers/PrinterSetup.h"
#include "TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace PrintKit;
using namespace TestSupport;

namespace {

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

class Responder {
public:
    ~Responder() { run(script() + " stop " + quoted(root_.path().string()) + " >/dev/null 2>&1"); }
    // The bus address, or none with the reason.
    std::optional<std::string> start(std::string* reason) {
        std::string output;
        const int status = run(script() + " start " + quoted(root_.path().string()) + " 2>&1", &output);
        const std::size_t at = output.find("DBUS_SYSTEM_BUS_ADDRESS=");
        if (status != 0 || at == std::string::npos) {
            *reason = output;
            return std::nullopt;
        }
        std::string address = output.substr(at + 24);
        return address.substr(0, address.find('\n'));
    }
    void publish(const std::string& name, const std::string& type, const std::vector<std::string>& txt) {
        std::string command = script() + " publish " + quoted(root_.path().string()) + " " + quoted(name) +
                              " " + type + " 9100";
        for (const std::string& entry : txt) {
            command += " " + quoted(entry);
        }
        std::string output;
        ASSERT_EQ(run(command + " 2>&1", &output), 0) << output;
    }

private:
    static std::string script() {
        return quoted(std::string(QUILM_SOURCE_DIR) + "/scripts/avahi-testbed.sh");
    }
    TemporaryDirectory root_;
};

TEST(PrinterDiscoveryTest, FindsEachEpsonPrinterOnceWhateverItAnnounces) {
    Responder responder;
    std::string reason;
    const std::optional<std::string> bus = responder.start(&reason);
    if (!bus) {
        GTEST_SKIP() << "no private mDNS responder here: " << reason;
    }
    TestSupport::ScopedEnvironment address("DBUS_SYSTEM_BUS_ADDRESS", *bus);
    // One printer under all three service types, its model never saying the maker's name; a bonus
    // printer of the family known by its product string; an office printer of another maker.
    const std::string studio = "Kim's \"P900\" 작업실";
    responder.publish(studio, "_printer._tcp", {"usb_MFG=EPSON", "usb_MDL=SC-P900 Series"});
    responder.publish(studio, "_pdl-datastream._tcp", {"usb_MFG=EPSON", "ty=SC-P900 Series"});
    responder.publish(studio, "_ipp._tcp",
                      {"usb_MFG=EPSON", "ty=SC-P900 Series", "product=(SC-P900 Series)"});
    responder.publish("Kitchen", "_ipp._tcp", {"product=(EPSON ET-8550 Series)"});
    responder.publish("Office", "_ipp._tcp", {"usb_MFG=Generic", "ty=Generic Office Laser"});

    EXPECT_EQ(PrinterSetup::discover(),
              (std::vector<FoundPrinter>{{"Kim's \"P900\" 작업실", "EPSON SC-P900 Series"},
                                         {"Kitchen", "EPSON ET-8550 Series"}}));

    // A cancelled run ends at once, with what it had.
    std::atomic<bool> cancel{true};
    EXPECT_LE(PrinterSetup::discover(std::chrono::seconds(60), &cancel).size(), 2u);
}

TEST(PrinterDiscoveryTest, NoDaemonGivesAnEmptyList) {
    TemporaryDirectory folder;
    TestSupport::ScopedEnvironment address("DBUS_SYSTEM_BUS_ADDRESS",
                                           "unix:path=" + (folder / "no_bus_socket").string());
    EXPECT_TRUE(PrinterSetup::discover(std::chrono::milliseconds(1500)).empty());
}

} // namespace
