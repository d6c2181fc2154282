// The CUPS client against a real cupsd on 127.0.0.1 (see TestServer.h): queues, printing through the
// photo queue's filter chain to 16-bit raster, held and cancelled jobs, a failing driver, and every error.
#include "PrintKit/printers/CupsClient.h"

#include "HttpTestServer.h"
#include "PrintKit/printers/QueueKind.h"
#include "PrintKit/render/sheet/PDFImageWriter.h"
#include "PrintKit/settings/PPDError.h"
#include "PrintKit/targets/RasterCheck.h"
#include "TestServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cups/cups.h>
#include <cups/raster.h>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace PrintKit;
using namespace TestSupport;

namespace {

constexpr const char* photoQueue = "TestbedPhoto";
constexpr const char* officeQueue = "TestbedOffice";
constexpr const char* brokenQueue = "TestbedBroken";

struct Rgb16 {
    std::uint16_t r, g, b;
};

// A one-page PDF from the engine's writer (one inch square) showing one 4 × 4 image of 16-bit samples in a
// single colour.
void writeSixteenBitPDF(const std::filesystem::path& path, Rgb16 colour) {
    std::string samples;
    for (int pixel = 0; pixel < 16; ++pixel) {
        for (std::uint16_t sample : {colour.r, colour.g, colour.b}) {
            samples += static_cast<char>(sample >> 8);
            samples += static_cast<char>(sample & 0xFF);
        }
    }
    PDFImageWriter writer(path, Size{72, 72}, "Quilm Print");
    writer.beginImage(Rect(0, 0, 72, 72), 4, 4, PDFImageWriter::ColorSpace::deviceRGB());
    writer.writeImageBytes(samples);
    writer.endImage();
    writer.finish();
}

// Follows a job until it leaves the given states. The deadline only keeps a broken server from hanging
// the test run.
JobAttributes waitWhile(int jobID, std::initializer_list<std::string_view> states) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        JobAttributes attributes = CupsClient::jobAttributes(jobID);
        if (std::find(states.begin(), states.end(), attributes.state) == states.end()) {
            return attributes;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "job " << jobID << " still " << attributes.state;
            return attributes;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The test's own look at the server: every value of the named attribute in its answer to a request
// (integers as decimal text).
std::vector<std::string> answerValues(ipp_t* request, std::string_view name) {
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    std::vector<std::string> values;
    for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute;
         attribute = ippNextAttribute(response)) {
        for (int index = 0;
             ippGetName(attribute) && ippGetName(attribute) == name && index < ippGetCount(attribute);
             ++index) {
            const char* text = ippGetString(attribute, index, nullptr);
            values.push_back(text ? text : std::to_string(ippGetInteger(attribute, index)));
        }
    }
    ippDelete(response);
    return values;
}

// Every value the server keeps for the job under that name (the client reads only two attributes).
std::vector<std::string> jobAttributeValues(int jobID, const char* name) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(jobID);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    return answerValues(request, name);
}

std::size_t jobsOnServer() {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-id");
    return answerValues(request, "job-id").size();
}

std::map<std::string, std::string> parsedOptions(const std::string& argument) {
    cups_option_t* options = nullptr;
    int count = cupsParseOptions(argument.c_str(), 0, &options);
    std::map<std::string, std::string> parsed;
    for (int index = 0; index < count; ++index) {
        parsed[options[index].name] = options[index].value;
    }
    cupsFreeOptions(count, options);
    return parsed;
}

// Points this thread's libcups at another server for the life of the value.
class ServerOverride {
public:
    explicit ServerOverride(const std::string& server) { cupsSetServer(server.c_str()); }
    ~ServerOverride() { cupsSetServer(nullptr); }
};

// A loopback port on which nothing listens.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

template <typename Call> void expectError(Call call, CupsClientErrorCode code, const std::string& prefix) {
    std::optional<CupsClientError> error = thrown<CupsClientError>(call);
    ASSERT_TRUE(error) << "no error for " << prefix;
    EXPECT_EQ(error->code(), code);
    EXPECT_FALSE(error->detail().empty());
    EXPECT_EQ(error->message(), prefix + error->detail());
}

class CupsClientTest : public testing::Test {
protected:
    std::filesystem::path writeDocument() {
        auto path = folder_ / ("QuilmPrint-" + std::to_string(++documents_) + ".pdf");
        writeSixteenBitPDF(path, {0x1234, 0x5678, 0x9ABC});
        return path;
    }

    TemporaryDirectory folder_;
    int documents_ = 0;
};

TEST_F(CupsClientTest, ListsAndClassifiesTheQueuesAndReadsTheirPPDs) {
    REQUIRE_TEST_SERVER(server);
    server->setDefault(officeQueue);
    const LanguageSet korean{"ko"};
    const std::filesystem::path ppdFolder = server->root() / "etc" / "ppd";

    std::map<std::string, PrinterQueue> queues;
    std::map<std::string, QueueKind> kinds;
    for (PrinterQueue& queue : CupsClient::queues()) {
        const PPDFile ppd = CupsClient::ppd(queue.name, korean, ppdFolder);
        kinds[queue.name] = queueKind(queue, &ppd);
        queues[queue.name] = queue;
    }
    const std::string output = "file://" + server->root().string() + "/output/";
    EXPECT_EQ(queues[photoQueue],
              (PrinterQueue{photoQueue, false, "EPSON Testbed Photo 1", output + "TestbedPhoto.ras"}));
    EXPECT_EQ(queues[officeQueue], (PrinterQueue{officeQueue, true, "Generic Testbed Office Laser",
                                                 output + "TestbedOffice.ras"}));
    // Other tests of this program add queues of their own to the shared server.
    std::erase_if(kinds, [](const auto& k) {
        return k.first != brokenQueue && k.first != officeQueue && k.first != photoQueue;
    });
    EXPECT_EQ(kinds, (std::map<std::string, QueueKind>{{brokenQueue, QueueKind::epson},
                                                       {officeQueue, QueueKind::other},
                                                       {photoQueue, QueueKind::epson}}));

    // From the server's folder, and where the folder has none, from the server's copy, which is not left
    // behind.
    const PPDFile epson = PPDFile::load(fixture("ppd/testbed-epson.ppd"), korean);
    EXPECT_EQ(CupsClient::ppd(photoQueue, korean, ppdFolder), epson);
    EXPECT_EQ(label(*epson.option("EPIJ_Medi")->choice("GLOSSY"), "ko"), "광택 사진 용지");
    // TMPDIR points at a folder of the test, where the engine's temporary files can be watched.
    std::filesystem::create_directories(folder_ / "tmp");
    ScopedEnvironment temporary("TMPDIR", (folder_ / "tmp").string());
    std::filesystem::create_directory(folder_ / "ppd");
    EXPECT_EQ(CupsClient::ppd(photoQueue, korean, folder_ / "ppd"), epson);
    EXPECT_EQ(CupsClient::ppd(officeQueue, std::nullopt, folder_ / "ppd"),
              PPDFile::load(fixture("ppd/testbed-plain.ppd"), std::nullopt));
    const auto missing =
        thrown<PPDError>([&] { CupsClient::ppd("NoSuchQueue", std::nullopt, folder_ / "ppd"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->message(),
              "PPD 파일을 읽지 못했습니다: " + (folder_ / "ppd" / "NoSuchQueue.ppd").string());
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp")) << "a fetched copy was left behind";

    // The server's own file that is no PPD is that queue's answer; its copy would be no better.
    writeFile(folder_ / "ppd" / (std::string(photoQueue) + ".ppd"), "*% not a description\n");
    const auto broken = thrown<PPDError>([&] { CupsClient::ppd(photoQueue, std::nullopt, folder_ / "ppd"); });
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->code(), PPDErrorCode::notAPPD);
}

TEST_F(CupsClientTest, PrintsAPDFToSixteenBitRasterWithItsOptions) {
    REQUIRE_TEST_SERVER(server);
    // A value from a recipe file may hold anything a shell would act on; it must reach the driver as is.
    const std::string note =
        "Mum's \"best\", 2 x; $(touch " + (folder_ / "owned").string() + ") `id` \\ 사진";
    const std::vector<PrintOption> options = {
        {"PageSize", "4x6"},     {"ColorModel", "RGB16"}, {"Resolution", "360dpi"},
        {"EPIJ_Medi", "GLOSSY"}, {"EPIJ_Qual", "303"},    {"TestbedNote", note},
    };

    const int job = CupsClient::submit(photoQueue, writeDocument(), "Test print", options, false);
    ASSERT_GT(job, 0);
    EXPECT_EQ(waitWhile(job, {"pending", "processing"}).state, "completed");

    // The raster the backend received, measured over the page's middle: the driver's 16-bit RGB mode on the
    // requested page, and the photo's samples without a detour through 8 bits (0x1234 would become 0x1212).
    const RasterCheckResult page = RasterCheck::measure(
        server->output(photoQueue), {"4x6", 288, 432, "device", {{"middle", {0, 0, 0}, {124, 196, 40, 40}}}});
    EXPECT_EQ(std::vector<std::int64_t>({page.bitsPerColor, page.colorSpace, page.resolution}),
              std::vector<std::int64_t>({16, CUPS_CSPACE_RGB, 360}));
    EXPECT_EQ(page.imagingBox, (std::vector<double>{8.5, 8.5, 279.5, 423.5})); // the 4 x 6 in page's area
    ASSERT_EQ(page.readings.size(), 1u);
    const double expected[] = {0x1234 / 257.0, 0x5678 / 257.0, 0x9ABC / 257.0};
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(page.readings[0].measured.at(c), expected[c], 2 / 257.0);
    }

    // The options as the driver received them.
    std::map<std::string, std::string> received = parsedOptions(readFile(server->optionLog(job)));
    for (const PrintOption& option : options) {
        EXPECT_EQ(received[option.key], option.value) << option.key;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "owned"));

    // A finished job cannot be cancelled any more, and says so.
    expectError([&] { CupsClient::cancel(photoQueue, job); }, CupsClientErrorCode::cancelFailed,
                "작업을 취소하지 못했습니다: ");
}

TEST_F(CupsClientTest, HeldJobWaitsUntilItIsCancelledAndThenUntilItIsPurged) {
    REQUIRE_TEST_SERVER(server);
    const int job = CupsClient::submit(officeQueue, writeDocument(), "Held", {{"copies", "2"}}, true);
    EXPECT_EQ(CupsClient::jobAttributes(job).state, "pending-held");
    // To libcups 0 is the queue's current job and -1 every job of the queue.
    for (int id : {0, -1}) {
        expectError([&] { CupsClient::cancel(officeQueue, id); }, CupsClientErrorCode::cancelFailed,
                    "작업을 취소하지 못했습니다: ");
        expectError([&] { CupsClient::jobAttributes(id); }, CupsClientErrorCode::jobStatusFailed,
                    "작업 상태를 읽지 못했습니다: ");
    }
    EXPECT_EQ(CupsClient::jobAttributes(job).state, "pending-held");
    CupsClient::cancel(officeQueue, job);
    EXPECT_EQ(CupsClient::jobAttributes(job).state, "canceled");

    // Purged from the history while it was being followed: an error of its own, never a state.
    ASSERT_LT(cupsCancelJob2(CUPS_HTTP_DEFAULT, officeQueue, job, 1), IPP_STATUS_REDIRECTION_OTHER_SITE);
    expectError([&] { CupsClient::jobAttributes(job); }, CupsClientErrorCode::jobNotFound,
                "CUPS 서버가 작업을 알지 못합니다: ");
}

TEST_F(CupsClientTest, FailingDriverStopsTheJobWithItsMessage) {
    REQUIRE_TEST_SERVER(server);
    const int job = CupsClient::submit(brokenQueue, writeDocument(), "Refused", {}, false);
    const JobAttributes attributes = waitWhile(job, {"pending", "processing"});
    EXPECT_EQ(attributes, (JobAttributes{"processing-stopped", "The test printer refuses every job"}));
}

TEST_F(CupsClientTest, TitleBecomesTheJobName) {
    REQUIRE_TEST_SERVER(server);
    std::string hangul100;
    while (hangul100.size() < 300) {
        hangul100 += "가"; // 3 bytes
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        // Whatever a file name holds that a shell would act on stays as written.
        {"Mum's \"best\" photo; $(rm -rf ~) — 사진 #1, 2.jpg",
         "Mum's \"best\" photo; $(rm -rf ~) — 사진 #1, 2.jpg"},
        // What no IPP name may hold is mended rather than stored beside an "Untitled" second name: cut after
        // the last whole character within 255 bytes, control characters, bytes that are not UTF-8.
        {hangul100, hangul100.substr(0, 85 * 3)},
        {"line\nbreak\tbad\xFFname", "line break bad\xEF\xBF\xBDname"},
    };
    for (const auto& [title, name] : cases) {
        const int job = CupsClient::submit(officeQueue, writeDocument(), title, {}, true);
        EXPECT_EQ(jobAttributeValues(job, "job-name"), std::vector<std::string>{name});
        EXPECT_EQ(jobAttributeValues(job, "document-name-supplied"), std::vector<std::string>{name});
        CupsClient::cancel(officeQueue, job);
    }
}

TEST_F(CupsClientTest, ServerThatCannotBeReachedIsAnErrorOfEveryCall) {
    const auto document = writeDocument();
    ServerOverride nowhere("127.0.0.1:" + std::to_string(closedPort()));

    expectError([] { CupsClient::queues(); }, CupsClientErrorCode::queuesUnavailable,
                "프린터 목록을 읽지 못했습니다: ");
    expectError([&] { CupsClient::submit(photoQueue, document, "t", {}, false); },
                CupsClientErrorCode::submissionFailed, "인쇄 작업을 보내지 못했습니다: ");
    // A job that was printing when the server went away is not a finished job, nor one the server forgot,
    // and a cancel that never arrived is no refusal.
    expectError([] { CupsClient::jobAttributes(1); }, CupsClientErrorCode::serverUnreachable,
                "CUPS 서버에 연결할 수 없습니다: ");
    expectError([] { CupsClient::cancel(photoQueue, 1); }, CupsClientErrorCode::serverUnreachable,
                "CUPS 서버에 연결할 수 없습니다: ");
}

TEST(CupsClientPageTest, PrintersPageIsOnTheServerNamedByHostElseOnThisMachine) {
    for (const auto& [server, page] : std::vector<std::pair<std::string, std::string>>{
             {"192.0.2.7:8631", "http://192.0.2.7:8631/printers/"},
             {"print-room.example", "http://print-room.example:631/printers/"},
             {"[::1]:8632", "http://[::1]:8632/printers/"},
             {"/run/cups/cups.sock", "http://localhost:631/printers/"}}) {
        ServerOverride named(server);
        EXPECT_EQ(CupsClient::printersPage(), page) << server;
    }
}

TEST_F(CupsClientTest, AnotherServersNotFoundIsNoWordAboutTheJob) {
    HttpTestServer other; // "404 not found" to every request
    ServerOverride elsewhere(other.url("").substr(std::strlen("http://")));
    expectError([] { CupsClient::jobAttributes(1); }, CupsClientErrorCode::jobStatusFailed,
                "작업 상태를 읽지 못했습니다: ");
    expectError([] { CupsClient::cancel(photoQueue, 1); }, CupsClientErrorCode::cancelFailed,
                "작업을 취소하지 못했습니다: ");
}

TEST_F(CupsClientTest, WhatTheServerCannotTakeLeavesNoJobBehind) {
    REQUIRE_TEST_SERVER(server);
    const std::size_t before = jobsOnServer();
    expectError([&] { CupsClient::submit("NoSuchQueue", writeDocument(), "t", {}, false); },
                CupsClientErrorCode::submissionFailed, "인쇄 작업을 보내지 못했습니다: ");
    expectError([] { CupsClient::cancel("NoSuchQueue", 1); }, CupsClientErrorCode::cancelFailed,
                "작업을 취소하지 못했습니다: ");
    expectError([] { CupsClient::jobAttributes(987654); }, CupsClientErrorCode::jobNotFound,
                "CUPS 서버가 작업을 알지 못합니다: ");
    for (const std::filesystem::path& document : {folder_ / "missing.pdf", folder_.path()}) {
        auto error =
            thrown<CupsClientError>([&] { CupsClient::submit(photoQueue, document, "t", {}, false); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), CupsClientErrorCode::unreadableDocument);
        EXPECT_EQ(error->message(), "인쇄할 파일을 읽지 못했습니다: " + document.string());
    }
    EXPECT_EQ(jobsOnServer(), before);
}

} // namespace
