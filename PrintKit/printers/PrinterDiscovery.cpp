// DNS-SD discovery through the Avahi daemon. The Avahi client talks to its daemon over D-Bus with blocking
// calls of its own timeouts (a bus that accepts but never answers holds one for half a minute), so the
// whole client lives on a worker thread; the caller waits only for its own deadline and reads what the run
// has found by then.
#include "PrintKit/printers/FoundList.h"
#include "PrintKit/printers/PrinterSetup.h"
#include "PrintKit/support/Text.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/thread-watch.h>
#include <condition_variable>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

namespace PrintKit {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* serviceTypes[] = {"_printer._tcp", "_pdl-datastream._tcp", "_ipp._tcp"};
// How long a caller waits, after its deadline, for the worker to shut the client down before leaving it
// to finish alone.
constexpr std::chrono::seconds shutdownGrace(2);

struct Run {
    FoundList found;
    std::mutex lock;
    std::condition_variable changed;
    bool stop = false;
    bool finished = false;
};

struct Browse {
    Run& run;
    AvahiClient* client = nullptr;
};

bool containsEpson(std::string_view text) {
    return Text::uppercased(text).find("EPSON") != std::string::npos;
}

// The TXT keys, compared without case as DNS-SD asks.
std::optional<std::string> txtValue(AvahiStringList* txt, std::string_view key) {
    for (AvahiStringList* item = txt; item; item = avahi_string_list_get_next(item)) {
        std::string_view entry(reinterpret_cast<const char*>(avahi_string_list_get_text(item)),
                               avahi_string_list_get_size(item));
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals != key.size()) {
            continue;
        }
        if (Text::lowercased(entry.substr(0, equals)) == Text::lowercased(key)) {
            return Text::utf8WithReplacement(Text::trimmed(entry.substr(equals + 1)));
        }
    }
    return std::nullopt;
}

std::optional<FoundPrinter> epsonPrinter(const char* name, AvahiStringList* txt) {
    std::string maker = txtValue(txt, "usb_MFG").value_or(txtValue(txt, "mfg").value_or(""));
    std::string described = txtValue(txt, "ty").value_or("");
    std::string product = txtValue(txt, "product").value_or("");
    if (!containsEpson(maker) && !containsEpson(described) && !containsEpson(product)) {
        return std::nullopt;
    }
    // "product" is a PostScript string: "(EPSON SC-P900 Series)".
    if (product.size() >= 2 && product.front() == '(' && product.back() == ')') {
        product = product.substr(1, product.size() - 2);
    }
    std::string model = !described.empty() ? described
                        : !product.empty() ? product
                                           : txtValue(txt, "usb_MDL").value_or("");
    model = std::string(Text::trimmed(model));
    if (model.empty()) {
        model = "EPSON";
    } else if (Text::uppercased(model).rfind("EPSON", 0) != 0) {
        model = "EPSON " + model;
    }
    return FoundPrinter{Text::utf8WithReplacement(name), model};
}

void resolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
              const char* name, const char*, const char*, const char*, const AvahiAddress*, uint16_t,
              AvahiStringList* txt, AvahiLookupResultFlags, void* context) {
    auto* browse = static_cast<Browse*>(context);
    if (event == AVAHI_RESOLVER_FOUND && name) {
        if (std::optional<FoundPrinter> printer = epsonPrinter(name, txt)) {
            browse->run.found.add(std::move(*printer));
        }
    }
    avahi_service_resolver_free(resolver);
}

void browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
             const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* context) {
    auto* browse = static_cast<Browse*>(context);
    if (event != AVAHI_BROWSER_NEW || !browse->client) {
        return;
    }
    // Only the TXT record is of use: looking up the host's address would only slow the run down.
    avahi_service_resolver_new(browse->client, interface, protocol, name, type, domain, AVAHI_PROTO_UNSPEC,
                               AVAHI_LOOKUP_NO_ADDRESS, resolved, browse);
}

void clientChanged(AvahiClient*, AvahiClientState, void*) {
    // A daemon that goes away mid-run leaves the run with what it has found.
}

void browseUntilStopped(const std::shared_ptr<Run>& run) {
    Browse browse{*run};
    AvahiThreadedPoll* poll = avahi_threaded_poll_new();
    if (poll) {
        int error = 0;
        browse.client = avahi_client_new(avahi_threaded_poll_get(poll), static_cast<AvahiClientFlags>(0),
                                         clientChanged, nullptr, &error);
        if (browse.client) {
            bool browsing = false;
            for (const char* type : serviceTypes) {
                browsing |= avahi_service_browser_new(browse.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                      type, "local", static_cast<AvahiLookupFlags>(0),
                                                      browsed, &browse) != nullptr;
            }
            if (browsing && avahi_threaded_poll_start(poll) == 0) {
                std::unique_lock guard(run->lock);
                run->changed.wait(guard, [&] { return run->stop; });
                guard.unlock();
                avahi_threaded_poll_stop(poll);
            }
            // Frees the browsers and every resolver still open.
            avahi_client_free(browse.client);
        }
        avahi_threaded_poll_free(poll);
    }
    std::lock_guard guard(run->lock);
    run->finished = true;
    run->changed.notify_all();
}

} // namespace

namespace PrinterSetup {

std::vector<FoundPrinter> discover(std::chrono::milliseconds duration, const std::atomic<bool>* cancel) {
    auto run = std::make_shared<Run>();
    std::thread worker([run] { browseUntilStopped(run); });

    const Clock::time_point deadline = Clock::now() + duration;
    {
        std::unique_lock guard(run->lock);
        while (!run->finished && Clock::now() < deadline && !(cancel && cancel->load())) {
            run->changed.wait_until(guard, std::min(deadline, Clock::now() + std::chrono::milliseconds(50)));
        }
    }
    std::vector<FoundPrinter> printers = run->found.printers();

    bool finished;
    {
        std::unique_lock guard(run->lock);
        run->stop = true;
        run->changed.notify_all();
        finished = run->changed.wait_for(guard, shutdownGrace, [&] { return run->finished; });
    }
    if (finished) {
        worker.join();
    } else {
        // Stuck in a D-Bus call: it ends on that call's own timeout and frees what it holds.
        worker.detach();
    }
    return printers;
}

} // namespace PrinterSetup

} // namespace PrintKit
