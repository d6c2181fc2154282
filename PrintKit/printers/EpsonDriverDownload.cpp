#include "PrintKit/printers/EpsonDriverDownload.h"

#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Folders.h"

#include <curl/curl.h>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>

#ifndef QUILM_DRIVER_SERVER
#define QUILM_DRIVER_SERVER ""
#endif

namespace PrintKit {

std::string errorMessage(EpsonDriverDownloadErrorCode code, const std::string& detail) {
    switch (code) {
    case EpsonDriverDownloadErrorCode::noServer:
        return "이 빌드에는 드라이버 서버가 지정되어 있지 않습니다";
    case EpsonDriverDownloadErrorCode::network:
        return "드라이버 서버와 통신하지 못했습니다: " + detail;
    case EpsonDriverDownloadErrorCode::serverError:
        return "드라이버 서버가 요청을 거절했습니다: " + detail;
    case EpsonDriverDownloadErrorCode::cannotSave:
        return "드라이버 설치 파일을 저장하지 못했습니다: " + detail;
    case EpsonDriverDownloadErrorCode::cancelled:
        return "드라이버 내려받기를 취소했습니다";
    case EpsonDriverDownloadErrorCode::invalidURL:
        return "드라이버 주소를 쓸 수 없습니다: " + detail;
    case EpsonDriverDownloadErrorCode::cannotVerify:
        return "드라이버 설치 파일의 서명을 확인할 수 없어 열지 않고 지웠습니다: " + detail;
    }
    return detail;
}

namespace EpsonDriverDownload {

namespace {

using Code = EpsonDriverDownloadErrorCode;

constexpr long connectSeconds = 15;
constexpr long lookupSeconds = 30;
// A transfer slower than this many bytes a second for stallSeconds is given up.
constexpr long slowestRate = 1024;
constexpr long stallSeconds = 30;

std::mutex serverLock;
std::string serverAddress = QUILM_DRIVER_SERVER;

using Handle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

Handle newHandle() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Handle handle(curl_easy_init(), &curl_easy_cleanup);
    if (!handle) {
        throw EpsonDriverDownloadError(Code::network, "curl_easy_init");
    }
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    // A redirect must not lead to a local file or any other kind of address.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connectSeconds);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quilm Print");
    return handle;
}

// What a transfer's callbacks share with the caller.
struct Transfer {
    const std::atomic<bool>* cancel = nullptr;
    const std::function<void(double)>* progress = nullptr;
    FileIO::AtomicFile* file = nullptr;
    double reported = -1;
    std::string writeFailure;
    std::exception_ptr progressFailure;
};

int onProgress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(context);
    if (transfer->cancel && transfer->cancel->load()) {
        return 1;
    }
    if (transfer->progress && *transfer->progress && total > 0) {
        // 1 is kept for the moment the file is complete under its name.
        const double fraction = std::min(0.999, static_cast<double>(now) / static_cast<double>(total));
        if (fraction > transfer->reported) {
            transfer->reported = fraction;
            try {
                (*transfer->progress)(fraction);
            } catch (...) {
                transfer->progressFailure = std::current_exception();
                return 1;
            }
        }
    }
    return 0;
}

std::size_t onData(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    try {
        transfer->file->write(data, size * count);
        return size * count;
    } catch (const std::exception& error) {
        transfer->writeFailure = error.what();
        return 0; // curl ends the transfer with a write error
    }
}

long responseCode(CURL* curl) {
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

[[noreturn]] void fail(CURL* curl, CURLcode result, const Transfer& transfer, const char* detail) {
    if (transfer.progressFailure) {
        std::rethrow_exception(transfer.progressFailure);
    }
    if (result == CURLE_ABORTED_BY_CALLBACK) {
        throw EpsonDriverDownloadError(Code::cancelled);
    }
    if (result == CURLE_WRITE_ERROR && !transfer.writeFailure.empty()) {
        throw EpsonDriverDownloadError(Code::cannotSave, transfer.writeFailure);
    }
    if (result == CURLE_HTTP_RETURNED_ERROR) {
        throw EpsonDriverDownloadError(Code::serverError, "HTTP " + std::to_string(responseCode(curl)));
    }
    throw EpsonDriverDownloadError(Code::network, *detail ? std::string(detail) : curl_easy_strerror(result));
}

std::string decoded(CURL* curl, const std::string& text) {
    int length = 0;
    char* raw = curl_easy_unescape(curl, text.c_str(), static_cast<int>(text.size()), &length);
    if (!raw) {
        return {};
    }
    std::string result(raw, static_cast<std::size_t>(length));
    curl_free(raw);
    return result;
}

// The file name an address ends in, when it is a plain name that cannot reach outside the cache folder.
std::string fileNameOf(CURL* curl, const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const std::size_t scheme = path.find("://");
    if (scheme == std::string::npos || path.find('/', scheme + 3) == std::string::npos) {
        return {};
    }
    std::string name = decoded(curl, path.substr(path.rfind('/') + 1));
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
        return {};
    }
    return name;
}

} // namespace

void setServer(std::string baseURL) {
    std::lock_guard guard(serverLock);
    serverAddress = std::move(baseURL);
}

std::string server() {
    std::lock_guard guard(serverLock);
    return serverAddress;
}

std::optional<std::string> find(const std::string& installerFileName, const std::atomic<bool>* cancel) {
    std::string base = server();
    if (base.empty()) {
        throw EpsonDriverDownloadError(Code::noServer);
    }
    if (installerFileName.empty()) {
        throw EpsonDriverDownloadError(Code::invalidURL, installerFileName);
    }
    Handle handle = newHandle();
    CURL* curl = handle.get();
    char* escaped =
        curl_easy_escape(curl, installerFileName.c_str(), static_cast<int>(installerFileName.size()));
    if (!escaped) {
        throw EpsonDriverDownloadError(Code::invalidURL, installerFileName);
    }
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    const std::string url = base + "/" + escaped;
    curl_free(escaped);

    Transfer transfer;
    transfer.cancel = cancel;
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, lookupSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        fail(curl, result, transfer, detail);
    }
    const long status = responseCode(curl);
    if (status == 404 || status == 410) {
        return std::nullopt;
    }
    if (status < 200 || status >= 300) {
        throw EpsonDriverDownloadError(Code::serverError, "HTTP " + std::to_string(status));
    }
    return url;
}

std::filesystem::path download(const std::string& url, const std::function<void(double)>& progress,
                               const std::atomic<bool>* cancel) {
    Handle handle = newHandle();
    CURL* curl = handle.get();
    const std::string name = fileNameOf(curl, url);
    if (name.empty()) {
        throw EpsonDriverDownloadError(Code::invalidURL, url);
    }
    const std::filesystem::path folder = cacheFolder();
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) {
        throw EpsonDriverDownloadError(Code::cannotSave, folder.string() + ": " + created.message());
    }
    std::unique_ptr<FileIO::AtomicFile> file;
    try {
        file = std::make_unique<FileIO::AtomicFile>(folder / name);
    } catch (const std::exception& error) {
        throw EpsonDriverDownloadError(Code::cannotSave, error.what());
    }

    Transfer transfer;
    transfer.cancel = cancel;
    transfer.progress = &progress;
    transfer.file = file.get();
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, slowestRate);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        fail(curl, result, transfer, detail); // the temporary file goes with `file`
    }
    try {
        file->commit();
    } catch (const std::exception& error) {
        throw EpsonDriverDownloadError(Code::cannotSave, error.what());
    }
    if (progress) {
        progress(1.0);
    }
    return folder / name;
}

std::filesystem::path cacheFolder() {
    return Folders::userCache() / "local.quilm.print" / "EpsonDrivers";
}

std::filesystem::path openInstaller(const std::filesystem::path& image) {
    // The maker ships signed disk images that only macOS can check; no tool here can tell a genuine
    // installer from a forged one, so the file is refused rather than trusted.
    std::error_code ignored;
    std::filesystem::remove(image, ignored);
    throw EpsonDriverDownloadError(Code::cannotVerify, image.filename().string());
}

void detach(const std::filesystem::path&) {}

} // namespace EpsonDriverDownload

} // namespace PrintKit
