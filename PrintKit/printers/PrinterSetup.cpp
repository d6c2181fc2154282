#include "PrintKit/printers/PrinterSetup.h"

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/ChildProcess.h"
#include "PrintKit/support/Text.h"

#include <algorithm>
#include <cups/cups.h>
#include <cups/ppd.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace PrintKit {

std::string errorMessage(PrinterSetupErrorCode code, const std::string& detail) {
    switch (code) {
    case PrinterSetupErrorCode::invalidPrinter:
        return "프린터 이름을 쓸 수 없습니다: " + detail;
    case PrinterSetupErrorCode::notAuthorized:
        return "프린터를 추가할 권한이 없습니다: " + detail;
    case PrinterSetupErrorCode::queueFailed:
        return "프린터를 연결하지 못했습니다: " + detail;
    case PrinterSetupErrorCode::toolMissing:
        return "프린터 추가 도구를 실행하지 못했습니다: " + detail;
    case PrinterSetupErrorCode::timedOut:
        return "프린터 추가가 제시간에 끝나지 않았습니다: " + detail;
    }
    return detail;
}

SetupStatus SetupStatus::connected(std::string queue) {
    SetupStatus status;
    status.kind = Kind::connected;
    status.queue = std::move(queue);
    return status;
}

SetupStatus SetupStatus::canConnect(EpsonDriver driver) {
    SetupStatus status;
    status.kind = Kind::canConnect;
    status.driver = std::move(driver);
    return status;
}

SetupStatus SetupStatus::needsDriver(std::string model) {
    SetupStatus status;
    status.kind = Kind::needsDriver;
    status.model = std::move(model);
    return status;
}

namespace PrinterSetup {

namespace {

constexpr std::string_view driverMarker = "*EPIJDriverSystem:";
constexpr std::size_t maxPPDBytes = 16u << 20;
constexpr int connectMilliseconds = 10000;
constexpr double answerSeconds = 30;
const std::chrono::seconds toolTimeout(60);
constexpr const char* lpadmin = "/usr/sbin/lpadmin";
constexpr const char* pkexec = "/usr/bin/pkexec";

std::mutex foldersLock;
std::vector<std::filesystem::path> driverFolders{"/usr/share/ppd", "/usr/share/cups/model"};

// What was learnt of each PPD file: the set-up sheet asks for the installed drivers every few seconds, and a
// driver collection holds thousands of files that almost never change. A file is read again only when its
// size or modification time is no longer what it was; a driver the server hands out is fetched again only
// when the server lists it under another name or model.
struct FileStamp {
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
struct FileRead {
    FileStamp stamp;
    std::optional<EpsonDriver> driver; // none: not one of the family's
};
std::mutex readLock;
std::map<std::string, FileRead> filesRead;                                        // by path
std::map<std::pair<std::string, std::string>, std::optional<EpsonDriver>> served; // by name and model

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The file through libcups, which reads gzip-compressed PPD files as they are installed on Linux.
std::optional<std::string> readPPD(const std::filesystem::path& path) {
    cups_file_t* file = cupsFileOpen(path.c_str(), "r");
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16384];
    ssize_t count;
    while ((count = cupsFileRead(file, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > maxPPDBytes) {
            cupsFileClose(file);
            return std::nullopt;
        }
    }
    // libcups reports the end of a file as -1 too; only a read that stops before it failed.
    const bool complete = count == 0 || cupsFileEOF(file);
    cupsFileClose(file);
    if (!complete) {
        return std::nullopt;
    }
    return bytes;
}

// The driver a PPD file describes, when it is one of the family's.
std::optional<EpsonDriver> driverOf(const std::string& bytes, const std::string& ppdName) {
    // Most PPD files on a system belong to other drivers: a plain search spares parsing them.
    if (bytes.find(driverMarker) == std::string::npos) {
        return std::nullopt;
    }
    try {
        PPDFile ppd = PPDFile::parse(bytes, ppdName, LanguageSet{});
        if (ppd.attributes.count("EPIJDriverSystem") == 0) {
            return std::nullopt;
        }
        std::string model = !ppd.modelName.empty() ? ppd.modelName : ppd.nickName;
        if (model.empty()) {
            return std::nullopt;
        }
        return EpsonDriver{std::move(model), ppdName};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<FileStamp> stampOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uintmax_t>(status.st_size),
                     static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                         status.st_mtim.tv_nsec};
}

std::vector<EpsonDriver> folderDrivers() {
    std::vector<std::filesystem::path> folders;
    {
        std::lock_guard lock(foldersLock);
        folders = driverFolders;
    }
    std::map<std::string, FileRead> known;
    {
        std::lock_guard lock(readLock);
        known = filesRead;
    }
    std::map<std::string, FileRead> seen; // what the folders hold now; files gone are forgotten
    std::vector<EpsonDriver> drivers;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        std::filesystem::recursive_directory_iterator walk(
            folder, std::filesystem::directory_options::skip_permission_denied, error);
        std::vector<std::filesystem::path> files;
        for (; !error && walk != std::filesystem::recursive_directory_iterator(); walk.increment(error)) {
            const std::string name = asciiLower(walk->path().filename().string());
            if (endsWith(name, ".ppd") || endsWith(name, ".ppd.gz")) {
                files.push_back(walk->path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& file : files) {
            const std::optional<FileStamp> stamp = stampOf(file);
            if (!stamp) {
                continue;
            }
            const std::string path = std::filesystem::absolute(file).string();
            auto found = known.find(path);
            if (found == known.end() || found->second.stamp != *stamp) {
                FileRead read{*stamp, std::nullopt};
                if (std::optional<std::string> bytes = readPPD(file)) {
                    read.driver = driverOf(*bytes, path);
                } else {
                    continue; // unreadable now, perhaps not later: nothing is remembered
                }
                found = known.insert_or_assign(path, std::move(read)).first;
            }
            if (found->second.driver) {
                drivers.push_back(*found->second.driver);
            }
            seen.insert(*found);
        }
    }
    std::lock_guard lock(readLock);
    filesRead = std::move(seen);
    return drivers;
}

// A listed driver worth fetching: its name mentions one of the catalogue's models. Fetching every PPD the
// server offers would take minutes on a system with a large driver collection.
bool mayBeCatalogued(std::string_view makeAndModel) {
    const std::string name = EpsonMachines::normalizedModel(makeAndModel);
    for (const EpsonMachine& machine : EpsonMachines::all()) {
        for (const std::string& key : machine.keys) {
            if (name.find(EpsonMachines::normalizedModel(key)) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

std::vector<EpsonDriver> serverDrivers() {
    http_t* raw = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                               connectMilliseconds, nullptr);
    if (!raw) {
        return {};
    }
    std::unique_ptr<http_t, decltype(&httpClose)> server(raw, &httpClose);
    httpSetTimeout(server.get(), answerSeconds, nullptr, nullptr);

    static const char* const requested[] = {"ppd-name", "ppd-make-and-model"};
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PPDS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "ppd-make", nullptr, "EPSON");
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(requested)), nullptr, requested);
    std::unique_ptr<ipp_t, decltype(&ippDelete)> response(cupsDoRequest(server.get(), request, "/"),
                                                          &ippDelete);
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        return {};
    }

    std::vector<std::pair<std::string, std::string>> listed; // name, make and model
    std::string name;
    std::string makeAndModel;
    auto take = [&] {
        if (!name.empty() && mayBeCatalogued(makeAndModel)) {
            listed.emplace_back(name, makeAndModel);
        }
        name.clear();
        makeAndModel.clear();
    };
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.get()); attribute;
         attribute = ippNextAttribute(response.get())) {
        const char* attributeName = ippGetName(attribute);
        if (!attributeName) {
            take(); // a separator between two drivers' groups
            continue;
        }
        const char* value = ippGetString(attribute, 0, nullptr);
        if (std::string_view(attributeName) == "ppd-name" && value) {
            name = value;
        } else if (std::string_view(attributeName) == "ppd-make-and-model" && value) {
            makeAndModel = value;
        }
    }
    take();

    std::map<std::pair<std::string, std::string>, std::optional<EpsonDriver>> known;
    {
        std::lock_guard lock(readLock);
        known = served;
    }
    std::map<std::pair<std::string, std::string>, std::optional<EpsonDriver>> listedNow;
    std::vector<EpsonDriver> drivers;
    for (const auto& entry : listed) {
        const auto& [ppdName, listedModel] = entry;
        if (auto found = known.find(entry); found != known.end()) {
            if (found->second) {
                drivers.push_back(*found->second);
            }
            listedNow.insert(*found);
            continue;
        }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        // The driver's options live only in its PPD file; the server hands it out into a temporary file.
        const char* copy = cupsGetServerPPD(server.get(), ppdName.c_str());
#pragma GCC diagnostic pop
        if (!copy) {
            continue;
        }
        const std::string path = copy;
        std::optional<std::string> bytes = readPPD(path);
        ::unlink(path.c_str());
        if (bytes) {
            std::optional<EpsonDriver> driver = driverOf(*bytes, ppdName);
            if (driver) {
                drivers.push_back(*driver);
            }
            listedNow.emplace(entry, std::move(driver));
        }
    }
    {
        std::lock_guard lock(readLock);
        served = std::move(listedNow);
    }
    std::sort(drivers.begin(), drivers.end(),
              [](const EpsonDriver& a, const EpsonDriver& b) { return a.ppdName < b.ppdName; });
    return drivers;
}

bool sameMachine(std::string_view printerModel, std::string_view driverModel) {
    if (const EpsonMachine* machine = EpsonMachines::forModel(printerModel)) {
        return machine->matchesModel(driverModel);
    }
    // A model outside the catalogue still fits a driver made for exactly that model.
    const std::string printer = EpsonMachines::normalizedModel(printerModel);
    return !printer.empty() && printer == EpsonMachines::normalizedModel(driverModel);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '%' && index + 2 < text.size()) {
            const int high = hexValue(text[index + 1]);
            const int low = hexValue(text[index + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                index += 2;
                continue;
            }
        }
        decoded += text[index];
    }
    return decoded;
}

std::string percentEncoded(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

bool haveNetworkBackend() {
    const char* serverBin = std::getenv("CUPS_SERVERBIN");
    const std::string folder = serverBin && *serverBin ? serverBin : "/usr/lib/cups";
    return ::access((folder + "/backend/epsontcpip").c_str(), X_OK) == 0;
}

std::vector<std::string> lpadminArguments(const std::string& queue, const std::string& uri,
                                          const EpsonDriver& driver) {
    // The same server as every other call of the engine, also for a pkexec child that drops the environment.
    std::string server = cupsServer();
    if (!server.empty() && server.front() != '/') {
        server += ":" + std::to_string(ippPort());
    }
    std::vector<std::string> arguments{lpadmin, "-h", server, "-p", queue, "-E", "-v", uri};
    if (!driver.ppdName.empty() && driver.ppdName.front() == '/') {
        arguments.insert(arguments.end(), {"-P", driver.ppdName});
    } else {
        arguments.insert(arguments.end(), {"-m", driver.ppdName});
    }
    return arguments;
}

// lpadmin's own words, without the notice it prints on every PPD-based queue.
std::string toolMessage(const ChildResult& result) {
    std::string message;
    std::string_view rest =
        result.errors.empty() ? std::string_view(result.output) : std::string_view(result.errors);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = Text::trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (line.empty() || line.find("deprecated") != std::string_view::npos) {
            continue;
        }
        if (!message.empty()) {
            message += ' ';
        }
        message += line;
    }
    if (message.empty()) {
        message = "exit status " + std::to_string(result.exitStatus);
    }
    return Text::utf8WithReplacement(message);
}

bool refused(const ChildResult& result) {
    const std::string text = asciiLower(result.errors + result.output);
    return text.find("forbidden") != std::string::npos || text.find("unauthorized") != std::string::npos ||
           text.find("not authorized") != std::string::npos || text.find("not allowed") != std::string::npos;
}

ChildResult runTool(const std::vector<std::string>& arguments) {
    try {
        return ChildProcess::run(arguments, toolTimeout);
    } catch (const std::system_error& error) {
        throw PrinterSetupError(PrinterSetupErrorCode::toolMissing, arguments.front() + ": " + error.what());
    }
}

} // namespace

std::vector<EpsonDriver> installedDrivers() {
    std::vector<EpsonDriver> drivers = serverDrivers();
    std::vector<EpsonDriver> fromFolders = folderDrivers();
    drivers.insert(drivers.end(), fromFolders.begin(), fromFolders.end());
    // One driver per model: the server's before the folders', which CUPS may list as well.
    std::vector<EpsonDriver> unique;
    std::set<std::string> models;
    for (EpsonDriver& driver : drivers) {
        if (models.insert(driver.model).second) {
            unique.push_back(std::move(driver));
        }
    }
    std::sort(unique.begin(), unique.end(),
              [](const EpsonDriver& a, const EpsonDriver& b) { return a.model < b.model; });
    return unique;
}

void setDriverFolders(std::vector<std::filesystem::path> folders) {
    {
        std::lock_guard lock(foldersLock);
        driverFolders = std::move(folders);
    }
    std::lock_guard lock(readLock);
    filesRead.clear();
    served.clear();
}

std::string serviceName(const std::string& deviceURI) {
    const std::size_t schemeEnd = deviceURI.find("://");
    if (schemeEnd == std::string::npos) {
        return {};
    }
    const std::string scheme = asciiLower(std::string_view(deviceURI).substr(0, schemeEnd));
    if (scheme != "epsontcpip" && scheme != "dnssd") {
        return {};
    }
    std::string_view host = std::string_view(deviceURI).substr(schemeEnd + 3);
    host = host.substr(0, host.find_first_of("/?"));
    // Split before decoding: an escaped "." or "/" belongs to the instance name.
    std::size_t protocol = host.rfind("._tcp.");
    if (protocol == std::string_view::npos) {
        protocol = host.rfind("._udp.");
    }
    if (protocol == std::string_view::npos) {
        return {};
    }
    const std::size_t type = host.rfind("._", protocol == 0 ? 0 : protocol - 1);
    if (type == std::string_view::npos || type == 0) {
        return {};
    }
    return percentDecoded(host.substr(0, type));
}

SetupStatus status(const FoundPrinter& printer, const std::vector<PrinterQueue>& queues,
                   const std::vector<EpsonDriver>& drivers) {
    for (const PrinterQueue& queue : queues) {
        if (!printer.name.empty() && serviceName(queue.deviceURI) == printer.name) {
            return SetupStatus::connected(queue.name);
        }
    }
    for (const EpsonDriver& driver : drivers) {
        if (sameMachine(printer.model, driver.model)) {
            return SetupStatus::canConnect(driver);
        }
    }
    return SetupStatus::needsDriver(printer.model);
}

bool hasDriver(const EpsonMachine& machine, const std::vector<EpsonDriver>& drivers) {
    return std::any_of(drivers.begin(), drivers.end(),
                       [&](const EpsonDriver& driver) { return machine.matchesModel(driver.model); });
}

std::string deviceURI(const FoundPrinter& printer) {
    if (haveNetworkBackend()) {
        return "epsontcpip://" + percentEncoded(printer.name) + "._printer._tcp.local./2";
    }
    return "dnssd://" + percentEncoded(printer.name) + "._pdl-datastream._tcp.local/";
}

std::string queueName(const std::string& model, const std::vector<std::string>& existingQueues) {
    // CUPS takes printable ASCII but not space, "/", "\", "#", "?" and quotes; letters, digits, "-" and
    // "_" also survive every shell and URL a queue name ends up in.
    std::string base;
    for (char c : model) {
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (plain) {
            base += c;
        } else if (!base.empty() && base.back() != '_') {
            base += '_';
        }
    }
    while (!base.empty() && base.back() == '_') {
        base.pop_back();
    }
    if (base.size() > 100) {
        base.resize(100);
    }
    if (base.empty()) {
        base = "EPSON";
    }
    std::set<std::string> taken;
    for (const std::string& queue : existingQueues) {
        taken.insert(asciiLower(queue));
    }
    std::string name = base;
    for (int number = 2; taken.count(asciiLower(name)) > 0; ++number) {
        name = base + "_" + std::to_string(number);
    }
    return name;
}

std::string createQueue(const FoundPrinter& printer, const EpsonDriver& driver,
                        const std::vector<std::string>& existingQueues) {
    if (printer.name.empty() || printer.name.find('\0') != std::string::npos ||
        !Text::isValidUtf8(printer.name)) {
        throw PrinterSetupError(PrinterSetupErrorCode::invalidPrinter,
                                Text::utf8WithReplacement(printer.name));
    }
    const std::string queue = queueName(printer.model, existingQueues);
    std::vector<std::string> arguments = lpadminArguments(queue, deviceURI(printer), driver);
    ChildResult result = runTool(arguments);
    if (!result.succeeded() && !result.timedOut && refused(result) && ::access(pkexec, X_OK) == 0) {
        arguments.insert(arguments.begin(), pkexec);
        result = runTool(arguments);
    }
    if (result.timedOut) {
        throw PrinterSetupError(PrinterSetupErrorCode::timedOut, lpadmin);
    }
    if (!result.succeeded()) {
        throw PrinterSetupError(refused(result) ? PrinterSetupErrorCode::notAuthorized
                                                : PrinterSetupErrorCode::queueFailed,
                                toolMessage(result));
    }
    return queue;
}

} // namespace PrinterSetup

} // namespace PrintKit
