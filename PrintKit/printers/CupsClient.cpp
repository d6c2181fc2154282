#include "PrintKit/printers/CupsClient.h"

#include "PrintKit/settings/PPDError.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Text.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cups/cups.h>
#include <cups/ppd.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace PrintKit {

std::string errorMessage(CupsClientErrorCode code, const std::string& detail) {
    switch (code) {
    case CupsClientErrorCode::queuesUnavailable:
        return "프린터 목록을 읽지 못했습니다: " + detail;
    case CupsClientErrorCode::submissionFailed:
        return "인쇄 작업을 보내지 못했습니다: " + detail;
    case CupsClientErrorCode::jobStatusFailed:
        return "작업 상태를 읽지 못했습니다: " + detail;
    case CupsClientErrorCode::jobNotFound:
        return "CUPS 서버가 작업을 알지 못합니다: " + detail;
    case CupsClientErrorCode::serverUnreachable:
        return "CUPS 서버에 연결할 수 없습니다: " + detail;
    case CupsClientErrorCode::cancelFailed:
        return "작업을 취소하지 못했습니다: " + detail;
    case CupsClientErrorCode::unreadableDocument:
        return "인쇄할 파일을 읽지 못했습니다: " + detail;
    }
    return detail;
}

namespace CupsClient {

namespace {

constexpr int connectTimeoutMilliseconds = 30000;
constexpr std::size_t maxNameBytes = 255; // IPP name values (job and document names)
constexpr std::uint64_t maxPPDBytes = 64u << 20;

// libcups keeps the last error per thread; it is read right after the call that failed.
std::string lastError() {
    const char* text = cupsLastErrorString();
    if (text && *text) {
        return text;
    }
    return ippErrorString(cupsLastError());
}

bool failed(ipp_status_t status) {
    return status > IPP_STATUS_OK_EVENTS_COMPLETE;
}

// What libcups reports when the request never got an answer: the connection dropped or the reply was cut
// short (internal), the server could not be reached or said it is going away (service unavailable), or it
// was too busy to take the request. None of these says anything about the job itself.
bool noAnswer(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_INTERNAL || status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE ||
           status == IPP_STATUS_ERROR_BUSY;
}

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

// One connection to the default server, opened for one call. Opening it ourselves (rather than through
// libcups' shared per-thread connection) reports why the server cannot be reached, and lets a document
// upload be abandoned half-way by closing the connection.
class Connection {
public:
    explicit Connection(CupsClientErrorCode failure) {
        http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 0, nullptr);
        if (!http_) {
            throw CupsClientError(failure, lastError());
        }
        if (httpReconnect2(http_, connectTimeoutMilliseconds, nullptr) != 0) {
            std::string reason = lastError();
            close();
            throw CupsClientError(failure, reason);
        }
    }
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    http_t* get() const { return http_; }

    void close() noexcept {
        if (http_) {
            httpClose(http_);
            http_ = nullptr;
        }
    }

private:
    http_t* http_ = nullptr;
};

using Response = std::unique_ptr<ipp_t, decltype(&ippDelete)>;

// Sends a request about one job and returns the server's response (null when libcups could not read one);
// its status is left in cupsLastError(). Throws CupsClientError(serverUnreachable) when no server answered,
// and also when one replied that it is busy or going away: neither says anything about the job.
Response askAboutJob(const Connection& server, ipp_t* request) {
    Response response(cupsDoRequest(server.get(), request, "/jobs/"), &ippDelete);
    const ipp_status_t status = cupsLastError();
    if (response ? status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_BUSY
                 : noAnswer(status)) {
        throw CupsClientError(CupsClientErrorCode::serverUnreachable, lastError());
    }
    return response;
}

struct OptionsDeleter {
    int count = 0;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

// An IPP name is UTF-8 without control characters and at most 255 bytes long. cupsd takes a job whose name
// breaks these rules but stores it with a second name, "Untitled", beside the broken one; titles come from
// file names, so they are mended instead: ill-formed bytes become U+FFFD, control characters (a line break
// in a file name) become spaces, and the text is cut after the last whole character that fits.
std::string ippName(const std::string& text) {
    std::string name = Text::utf8WithReplacement(text);
    for (char& byte : name) {
        if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) {
            byte = ' ';
        }
    }
    if (name.size() > maxNameBytes) {
        std::size_t end = maxNameBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
            --end;
        }
        name.resize(end);
    }
    return name;
}

// Best effort after a failed upload: the job must not wait on the server for a document that never comes.
// The caller reports the failure that brought it here, so a failure of the cancel itself adds nothing.
void abandon(const std::string& queue, int jobID) noexcept {
    try {
        Connection server(CupsClientErrorCode::cancelFailed);
        cupsCancelJob2(server.get(), queue.c_str(), jobID, 0);
    } catch (...) {
    }
}

class Document {
public:
    explicit Document(const std::filesystem::path& path) : path_(path) {
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        struct stat status {};
        if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ < 0) {
            throw CupsClientError(CupsClientErrorCode::unreadableDocument, path_.string());
        }
    }
    ~Document() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Bytes read into the buffer; 0 at the end; -1 when reading failed.
    ssize_t read(char* buffer, std::size_t size) {
        ssize_t count;
        do {
            count = ::read(fd_, buffer, size);
        } while (count < 0 && errno == EINTR);
        return count;
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

// The PPD file as the server hands it out, or nothing when it gives none. libcups writes it into a file of
// ours (or, for a local server whose folder this user may read, links that name to the server's file);
// whatever the name holds is removed before this returns.
std::optional<std::string> serverCopy(const std::string& queue) {
    const std::string pattern = (std::filesystem::temp_directory_path() / "QuilmPrint-XXXXXX.ppd").string();
    std::array<char, 4096> name{};
    if (pattern.size() >= name.size()) {
        return std::nullopt;
    }
    pattern.copy(name.data(), pattern.size());
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        return std::nullopt;
    }
    ::close(fd);
    const std::string created = name.data();
    struct Remove {
        const std::string& path;
        ~Remove() { ::unlink(path.c_str()); }
    } remove{created};

    try {
        Connection server(CupsClientErrorCode::queuesUnavailable);
        time_t modified = 0;
        // Deprecated in favour of the IPP attributes of a destination, but a queue's driver options live only
        // in its PPD file, and this is how a client that may not read the server's folder gets it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        const http_status_t status =
            cupsGetPPD3(server.get(), queue.c_str(), &modified, name.data(), name.size());
#pragma GCC diagnostic pop
        if (created != name.data()) {
            ::unlink(name.data()); // not the file this call made: nothing to keep
            return std::nullopt;
        }
        if (status != HTTP_STATUS_OK) {
            return std::nullopt;
        }
        return FileIO::readFile(created, maxPPDBytes);
    } catch (const std::exception&) {
        return std::nullopt; // the caller reports the queue's file as unreadable
    }
}

int createJob(const Connection& server, const std::string& queue, const std::string& title,
              const std::vector<PrintOption>& options, bool hold) {
    int count = 0;
    cups_option_t* raw = nullptr;
    for (const PrintOption& option : options) {
        count = cupsAddOption(option.key.c_str(), option.value.c_str(), count, &raw);
    }
    if (hold) {
        count = cupsAddOption("job-hold-until", "indefinite", count, &raw);
    }
    std::unique_ptr<cups_option_t, OptionsDeleter> owned(raw, OptionsDeleter{count});
    return cupsCreateJob(server.get(), queue.c_str(), ippName(title).c_str(), count, raw);
}

} // namespace

std::vector<PrinterQueue> queues() {
    Connection server(CupsClientErrorCode::queuesUnavailable);
    cups_dest_t* dests = nullptr;
    int count = cupsGetDests2(server.get(), &dests);
    auto free = [count](cups_dest_t* list) { cupsFreeDests(count, list); };
    std::unique_ptr<cups_dest_t, decltype(free)> owned(dests, free);
    if (count == 0) {
        // A server without queues answers "not found"; that is an empty list, not a failure.
        ipp_status_t status = cupsLastError();
        if (failed(status) && status != IPP_STATUS_ERROR_NOT_FOUND) {
            throw CupsClientError(CupsClientErrorCode::queuesUnavailable, lastError());
        }
        return {};
    }

    std::vector<PrinterQueue> list;
    for (int index = 0; index < count; ++index) {
        const cups_dest_t& dest = dests[index];
        if (dest.instance) {
            continue; // a saved set of the user's options for a queue, listed once with the queue itself
        }
        PrinterQueue queue;
        queue.name = dest.name;
        queue.isDefault = dest.is_default != 0;
        if (const char* value = cupsGetOption("printer-make-and-model", dest.num_options, dest.options)) {
            queue.makeAndModel = value;
        }
        if (const char* value = cupsGetOption("device-uri", dest.num_options, dest.options)) {
            queue.deviceURI = value;
        }
        list.push_back(std::move(queue));
    }
    // The user's default may be an instance of a queue: then the queue is the default.
    for (int index = 0; index < count; ++index) {
        if (dests[index].instance && dests[index].is_default) {
            for (PrinterQueue& queue : list) {
                queue.isDefault = queue.isDefault || queue.name == dests[index].name;
            }
        }
    }
    return list;
}

PPDFile ppd(const std::string& queue, const std::optional<LanguageSet>& languages,
            const std::filesystem::path& folder) {
    try {
        return PPDFile::loadQueue(queue, languages, folder);
    } catch (const PPDError& error) {
        if (error.code() != PPDErrorCode::unreadable) {
            throw;
        }
        if (std::optional<std::string> bytes = serverCopy(queue)) {
            // Named after the file it copies, so that an error names the queue's PPD file.
            return PPDFile::parse(*bytes, PPDFile::urlForQueue(queue, folder).string(), languages);
        }
        throw;
    }
}

std::string ppdText(const std::string& queue, const std::filesystem::path& folder) {
    const std::filesystem::path path = PPDFile::urlForQueue(queue, folder);
    // The same refusal as loadQueue: a name that could reach outside the folder names no queue of ours.
    if (queue.empty() || queue == "." || queue == ".." ||
        queue.find_first_of(std::string("/\0", 2)) != std::string::npos) {
        throw PPDError(PPDErrorCode::unreadable, path.string());
    }
    try {
        return FileIO::readFile(path, maxPPDBytes);
    } catch (const std::exception&) {
    }
    if (std::optional<std::string> bytes = serverCopy(queue)) {
        return std::move(*bytes);
    }
    throw PPDError(PPDErrorCode::unreadable, path.string());
}

int submit(const std::string& queue, const std::filesystem::path& document, const std::string& title,
           const std::vector<PrintOption>& options, bool hold) {
    // The file is opened before the job exists, so a missing file never leaves an empty job behind.
    Document source(document);
    Connection server(CupsClientErrorCode::submissionFailed);

    int jobID = createJob(server, queue, title, options, hold);
    if (jobID <= 0) {
        throw CupsClientError(CupsClientErrorCode::submissionFailed, lastError());
    }

    const std::string documentName = ippName(title);
    if (cupsStartDocument(server.get(), queue.c_str(), jobID, documentName.c_str(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE) {
        std::string reason = lastError();
        server.close();
        abandon(queue, jobID);
        throw CupsClientError(CupsClientErrorCode::submissionFailed, reason);
    }

    std::array<char, 64 * 1024> buffer;
    for (;;) {
        ssize_t count = source.read(buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        if (count < 0) {
            // Closing the connection mid-upload makes the server drop the partial document.
            server.close();
            abandon(queue, jobID);
            throw CupsClientError(CupsClientErrorCode::unreadableDocument, document.string());
        }
        if (cupsWriteRequestData(server.get(), buffer.data(), static_cast<std::size_t>(count)) !=
            HTTP_STATUS_CONTINUE) {
            std::string reason = lastError();
            server.close();
            abandon(queue, jobID);
            throw CupsClientError(CupsClientErrorCode::submissionFailed, reason);
        }
    }

    if (failed(cupsFinishDocument(server.get(), queue.c_str()))) {
        std::string reason = lastError();
        server.close();
        abandon(queue, jobID);
        throw CupsClientError(CupsClientErrorCode::submissionFailed, reason);
    }
    return jobID;
}

JobAttributes jobAttributes(int jobID) {
    if (jobID <= 0) {
        throw CupsClientError(CupsClientErrorCode::jobStatusFailed, errnoText(EINVAL));
    }
    Connection server(CupsClientErrorCode::serverUnreachable);

    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/jobs/%d",
                     jobID);
    static const char* const requested[] = {"job-state", "job-printer-state-message"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(requested)), nullptr, requested);

    const Response response = askAboutJob(server, request);
    const ipp_status_t status = cupsLastError();
    // Only the server's own answer says it does not know the job; a "not found" of the HTTP layer (no
    // response) is some other server's.
    if (response && status == IPP_STATUS_ERROR_NOT_FOUND) {
        throw CupsClientError(CupsClientErrorCode::jobNotFound, lastError());
    }
    if (!response || failed(status)) {
        throw CupsClientError(CupsClientErrorCode::jobStatusFailed, lastError());
    }
    // A job whose state the server does not give cannot be followed: that is never a finished job.
    ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
    if (!state) {
        throw CupsClientError(CupsClientErrorCode::jobStatusFailed, "job-state");
    }

    JobAttributes attributes;
    attributes.state = ippEnumString("job-state", ippGetInteger(state, 0));
    if (ipp_attribute_t* message =
            ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_ZERO)) {
        if (const char* text = ippGetString(message, 0, nullptr)) {
            attributes.printerStateMessage = text;
        }
    }
    return attributes;
}

void cancel(const std::string& queue, int jobID) {
    // libcups reads 0 as "the queue's current job" and -1 as "every job": neither is a job this program made.
    if (jobID <= 0) {
        throw CupsClientError(CupsClientErrorCode::cancelFailed, errnoText(EINVAL));
    }
    Connection server(CupsClientErrorCode::serverUnreachable);
    // The request cupsCancelJob2 makes, sent here so that a cancel that never arrived is told from a refusal.
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CANCEL_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobID);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    const Response response = askAboutJob(server, request);
    if (!response || failed(cupsLastError())) {
        throw CupsClientError(CupsClientErrorCode::cancelFailed, lastError());
    }
}

std::string printersPage() {
    static const std::string onThisMachine = "http://localhost:631/printers/";
    const char* server = cupsServer();
    if (!server || !*server || server[0] == '/')
        return onThisMachine;
    // An IPv6 address comes bracketed ("[::1]"); libcups brackets a bare one itself and would escape ours.
    std::string host = server;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::array<char, HTTP_MAX_URI> uri{};
    if (httpAssembleURI(HTTP_URI_CODING_ALL, uri.data(), static_cast<int>(uri.size()), "http", nullptr,
                        host.c_str(), ippPort(), "/printers/") < HTTP_URI_STATUS_OK)
        return onThisMachine;
    return uri.data();
}

} // namespace CupsClient

} // namespace PrintKit
