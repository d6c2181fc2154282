// The print road: sheets are rendered and sent one after another by one background task, each job is followed
// in CUPS until it ends, and the same sheets can be exported as files instead.
#include "PrintKit/printers/CupsClient.h"
#include "QuilmPrint/model/JobWatch.h"
#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/PDFExport.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <QDir>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <system_error>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace QuilmPrint {

namespace {

using JobState = PrintJobItem::State;

Q_GLOBAL_STATIC(QThreadPool, roadPool)

// Rendering is the heaviest work of the program and nobody waits for it at the screen; the road's thread
// runs below the windows. (Qt's thread priorities do nothing for ordinary Linux threads; a nice value does.)
void lowerThisThread() {
#ifdef __linux__
    thread_local bool lowered = false;
    if (!lowered) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        lowered = true;
    }
#endif
}

// Removes the file when the scope ends, whichever way it ends.
class RemovedAtEnd {
public:
    explicit RemovedAtEnd(std::filesystem::path path) : path_(std::move(path)) {}
    ~RemovedAtEnd() { remove(); }
    RemovedAtEnd(const RemovedAtEnd&) = delete;
    RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;
    void remove() noexcept {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

std::string temporaryName(const QUuid& id) {
    return "QuilmPrint-" + id.toString(QUuid::WithoutBraces).toUpper().toStdString() + ".pdf";
}

QString messageOf(const std::exception& error) {
    return QString::fromStdString(error.what());
}

// Renders and submits one job's sheet; the temporary file never outlives the call.
SheetEnd sendSheet(const SheetWork& work, const QUuid& job, const std::filesystem::path& folder,
                   JobControl& control, const std::function<void()>& sending) {
    SheetEnd end;
    RemovedAtEnd pdf(folder / temporaryName(job));
    try {
        if (control.stage.load() != JobControl::rendering) {
            end.stopped = true;
            return end;
        }
        work.render(folder / temporaryName(job));
        if (!control.move(JobControl::rendering, JobControl::sending)) {
            end.stopped = true;
            return end;
        }
        sending();
        end.cupsJobID = PrintKit::CupsClient::submit(work.queue, folder / temporaryName(job),
                                                     work.name.toStdString(), work.sheet.options, false);
        pdf.remove();
        control.move(JobControl::sending, JobControl::submitted);
    } catch (const std::exception& error) {
        control.stage = JobControl::stopped;
        end.error = messageOf(error);
    }
    return end;
}

SheetEnd exportSheet(const SheetWork& work, const std::filesystem::path& folder) {
    SheetEnd end;
    const std::filesystem::path rendered = folder / temporaryName(QUuid::createUuid());
    RemovedAtEnd leftover(rendered);
    try {
        work.render(rendered);
        end.exported = PDFExport::place(rendered, folder, work.stem);
    } catch (const std::exception& error) {
        end.error = messageOf(error);
    }
    return end;
}

std::string stemOf(const PhotoItem& photo) {
    return photo.url.stem().string();
}

QString exportedText(int files) {
    return QStringLiteral("PDF %1개를 저장했습니다").arg(files);
}

} // namespace

// Its own pool, so a long print never takes the threads that decode previews. Each of its threads ends after
// its sheet: libcups binds a thread to the server it first talked to.
QThreadPool* printRoadPool() {
    static QThreadPool* pool = [] {
        QThreadPool* one = roadPool();
        one->setMaxThreadCount(1);
        one->setExpiryTimeout(0);
        return one;
    }();
    return pool;
}

// ---- Building the sheets ----

std::vector<SheetWork> PrintModel::State::photoSheets(const PrintModel& model,
                                                      const std::vector<PhotoItem>& photos,
                                                      const PreparedSheet& sheet) const {
    std::vector<SheetWork> sheets;
    for (const PhotoItem& photo : photos) {
        SheetWork work;
        work.sheet = sheet;
        work.content = PhotoSheet{photo.url, model.imageFit(), model.margins(), model.offset(photo),
                                  model.isTurned(photo, sheet)};
        work.name = photo.name();
        work.stem = stemOf(photo);
        work.queue = printerID.value_or(std::string());
        sheets.push_back(std::move(work));
    }
    return sheets;
}

std::vector<SheetWork> PrintModel::State::gridSheets(const PrintModel& model, const PreparedSheet& sheet,
                                                     const PrintKit::GridPlan& plan,
                                                     const std::vector<std::vector<PhotoItem>>& pages) const {
    std::vector<SheetWork> sheets;
    for (std::size_t index = 0; index < pages.size(); ++index) {
        const std::vector<PhotoItem>& page = pages[index];
        if (page.empty())
            continue;
        GridSheet content{{}, model.gridSpec(), model.margins()};
        for (const GridCell& cell : model.gridCells(page, plan))
            content.photos.emplace_back(PrintKit::GridCellPhoto(
                cell.photo.url,
                cell.caption ? std::optional<std::string>(cell.caption->toStdString()) : std::nullopt));
        SheetWork work;
        work.sheet = sheet;
        work.content = std::move(content);
        work.name = page.size() == 1 || grid.repeatsOne
                        ? page.front().name()
                        : QStringLiteral("%1 외 %2장").arg(page.front().name()).arg(page.size() - 1);
        work.stem = "페이지 " + std::to_string(index + 1);
        work.queue = printerID.value_or(std::string());
        sheets.push_back(std::move(work));
    }
    return sheets;
}

std::vector<SheetWork> PrintModel::State::sheetsToPrint(PrintModel& model, bool gridPages,
                                                        const std::optional<PhotoItem>& only) const {
    const Outcome<PreparedSheet> sheet = model.tryPrepare();
    if (!sheet.ok()) {
        model.setFailure(sheet.error);
        return {};
    }
    if (!gridPages)
        return photoSheets(model, only ? std::vector<PhotoItem>{*only} : photos, *sheet.value);
    // A grid of which no cell fits the sheet has no pages; the user is told why rather than nothing
    // happening.
    const Outcome<PrintKit::GridPlan> plan = model.gridPlan(*sheet.value);
    if (!plan.ok()) {
        model.setFailure(plan.error);
        return {};
    }
    return this->gridSheets(model, *sheet.value, *plan.value,
                            only ? model.gridPages({*only}) : model.gridPages());
}

// ---- The road ----

PrintJobItem* PrintModel::State::job(const QUuid& id) {
    auto found =
        std::find_if(jobs.begin(), jobs.end(), [&](const PrintJobItem& job) { return job.id == id; });
    return found == jobs.end() ? nullptr : &*found;
}

void PrintModel::State::setJob(PrintModel& model, const PrintJobItem& changed) {
    PrintJobItem* current = job(changed.id);
    if (!current || *current == changed)
        return;
    *current = changed;
    emit model.jobsChanged();
}

std::filesystem::path PrintModel::State::temporaryFolder() const {
    if (!environment.temporaryFolder.empty())
        return environment.temporaryFolder;
    return std::filesystem::path(QDir::tempPath().toStdString());
}

void PrintModel::State::print(PrintModel& model, std::vector<SheetWork> sheets) {
    if (sheets.empty())
        return;
    for (SheetWork& work : sheets) {
        PrintJobItem job;
        job.id = QUuid::createUuid();
        job.photoName = work.name;
        job.queue = work.queue;
        job.state = JobState::waiting;
        job.copies = copies;
        jobs.push_back(job);
        auto control = std::make_shared<JobControl>();
        road.controls[job.id] = control;
        road.waiting.push_back(RoadSheet{std::move(work), job.id, control, nullptr});
    }
    emit model.jobsChanged();
    startNextSheet(model);
}

void PrintModel::State::startNextSheet(PrintModel& model) {
    while (!road.sheetOnItsWay && !road.waiting.empty()) {
        SheetWork& work = road.waiting.front().work;
        if (work.sheet.bleedPending) {
            // The sheet waits for the driver's expansion rather than printing without the compensation the
            // recipe asks for; the measurement's end starts it again.
            std::optional<double> expansion = bleedExpansion(work.queue, work.sheet.page.name);
            if (!expansion) {
                requestBleedMeasurement(work.queue, work.sheet.page);
                expansion = bleedExpansion(work.queue, work.sheet.page.name);
                if (!expansion)
                    return;
            }
            work.settleBleed(expansion);
        }
        RoadSheet sheet = std::move(road.waiting.front());
        road.waiting.pop_front();
        if (sheet.control) {
            if (!sheet.control->move(JobControl::waiting, JobControl::rendering))
                continue;
            if (PrintJobItem* item = job(sheet.job)) {
                PrintJobItem changed = *item;
                changed.state = JobState::rendering;
                setJob(model, changed);
            }
        }
        road.sheetOnItsWay = true;
        QPointer<PrintModel> guard(&model);
        const std::filesystem::path folder = sheet.exportRun ? sheet.exportRun->folder : temporaryFolder();
        printRoadPool()->start([sheet = std::move(sheet), guard, folder] {
            lowerThisThread();
            SheetEnd end;
            if (sheet.control) {
                const QUuid id = sheet.job;
                end = sendSheet(sheet.work, id, folder, *sheet.control, [&] {
                    post(guard, [id](PrintModel* target) {
                        if (PrintJobItem* item = target->d->job(id);
                            item && item->state == JobState::rendering) {
                            PrintJobItem changed = *item;
                            changed.state = JobState::sending;
                            target->d->setJob(*target, changed);
                        }
                    });
                });
            } else {
                end = exportSheet(sheet.work, folder);
            }
            post(guard, [sheet, end](PrintModel* target) { target->d->sheetEnded(*target, sheet, end); });
        });
        return;
    }
}

void PrintModel::State::sheetEnded(PrintModel& model, const RoadSheet& sheet, const SheetEnd& end) {
    road.sheetOnItsWay = false;
    if (sheet.exportRun) {
        ExportRun& run = *sheet.exportRun;
        ++run.ended;
        if (!end.exported.empty())
            run.written.push_back(end.exported);
        if (!end.error.isEmpty() && run.firstError.isEmpty())
            run.firstError = end.error;
        if (run.ended == run.sheets)
            exportEnded(model, run);
    } else if (PrintJobItem* item = job(sheet.job)) {
        PrintJobItem changed = *item;
        if (!end.error.isEmpty()) {
            changed.state = JobState::failed;
            changed.message = end.error;
            road.controls.erase(sheet.job);
        } else if (end.stopped) {
            changed.state =
                JobState::cancelled; // already shown so by cancel(); the model going away ends here too
            road.controls.erase(sheet.job);
        } else {
            changed.cupsJobID = end.cupsJobID;
            const bool cancelAsked = sheet.control && sheet.control->cancelAsked.load();
            changed.state = cancelAsked ? JobState::cancelling : JobState::printing;
            road.controls.erase(sheet.job);
        }
        setJob(model, changed);
        if (JobWatch::isFollowed(changed.state)) {
            if (changed.state == JobState::cancelling)
                cancelInCups(model, sheet.job);
            watch(model, sheet.job);
        }
    }
    startNextSheet(model);
}

void PrintModel::State::exportEnded(PrintModel& model, ExportRun& run) {
    // Another export queued behind this one keeps the road working, and its notice with it.
    const bool moreExports = std::any_of(road.waiting.begin(), road.waiting.end(),
                                         [](const RoadSheet& sheet) { return sheet.exportRun != nullptr; });
    if (!moreExports)
        noticeOfWork.reset();
    if (!run.written.empty()) {
        model.showNotice(
            Notice{exportedText(static_cast<int>(run.written.size())), false, run.written.front()});
    } else if (!moreExports && notice && notice->working) {
        // Nothing to tell but the failure; a passing notice shown meanwhile keeps its time.
        ++noticeGeneration;
        notice.reset();
        emit model.noticeChanged();
    }
    if (!run.firstError.isEmpty())
        model.setFailure(run.firstError);
}

void PrintModel::State::watch(PrintModel& model, const QUuid& id,
                              std::optional<std::chrono::milliseconds> delay) {
    if (road.watched.count(id))
        return;
    road.watched.insert(id);
    const std::chrono::milliseconds waited = delay.value_or(model.watchInterval);
    PrintModel* target = &model;
    QTimer::singleShot(waited, &model, [target, id, waited] {
        State& d = *target->d;
        PrintJobItem* item = d.job(id);
        if (!item || !JobWatch::isFollowed(item->state)) {
            d.road.watched.erase(id);
            return;
        }
        const int cupsJobID = item->cupsJobID;
        QPointer<PrintModel> guard(target);
        QThreadPool::globalInstance()->start([guard, id, cupsJobID, waited] {
            using Code = PrintKit::CupsClientErrorCode;
            std::optional<PrintKit::JobAttributes> attributes;
            QString unreadable;
            std::optional<Code> failure;
            try {
                attributes = PrintKit::CupsClient::jobAttributes(cupsJobID);
            } catch (const PrintKit::CupsClientError& error) {
                failure = error.code();
                unreadable = messageOf(error);
            } catch (const std::exception& error) {
                failure = Code::jobStatusFailed;
                unreadable = messageOf(error);
            }
            post(guard, [id, attributes, unreadable, failure, waited](PrintModel* target) {
                State& d = *target->d;
                d.road.watched.erase(id);
                PrintJobItem* item = d.job(id);
                if (!item)
                    return;
                const bool unanswered = failure == Code::serverUnreachable;
                const std::chrono::milliseconds next =
                    JobWatch::nextReading(waited, !unanswered, target->watchInterval, target->watchLimit);
                if (unanswered) {
                    // The server is restarting or gone for a while; it keeps its jobs, so the job is followed
                    // on until it answers.
                    d.setJob(*target, JobWatch::unreachable(*item));
                    d.watch(*target, id, next);
                    return;
                }
                PrintJobItem read;
                if (attributes) {
                    d.road.failedReadings.erase(id);
                    read = JobWatch::read(*item, *attributes);
                } else {
                    read = JobWatch::unreadable(*item, *failure, unreadable, ++d.road.failedReadings[id]);
                }
                d.setJob(*target, read);
                if (!JobWatch::isFollowed(read.state)) {
                    d.road.failedReadings.erase(id);
                    d.road.cancelOwed.erase(id);
                    return;
                }
                // A server answers again: a cancel that never reached one goes now, before the job can print.
                if (d.road.cancelOwed.erase(id))
                    d.cancelInCups(*target, id);
                d.watch(*target, id, next);
            });
        });
    });
}

void PrintModel::State::cancelInCups(PrintModel& model, const QUuid& id) {
    PrintJobItem* item = job(id);
    if (!item || road.cancelling.count(id))
        return;
    road.cancelling.insert(id);
    QPointer<PrintModel> guard(&model);
    const std::string queue = item->queue;
    const int cupsJobID = item->cupsJobID;
    QThreadPool::globalInstance()->start([guard, id, queue, cupsJobID] {
        QString refused;
        bool unanswered = false;
        try {
            PrintKit::CupsClient::cancel(queue, cupsJobID);
        } catch (const PrintKit::CupsClientError& error) {
            unanswered = error.code() == PrintKit::CupsClientErrorCode::serverUnreachable;
            refused = messageOf(error);
        } catch (const std::exception& error) {
            refused = messageOf(error);
        }
        post(guard, [id, refused, unanswered](PrintModel* target) {
            State& d = *target->d;
            d.road.cancelling.erase(id);
            PrintJobItem* item = d.job(id);
            if (!item || refused.isEmpty() || item->state != JobState::cancelling)
                return;
            if (unanswered) {
                // The cancel never arrived, and a server that comes back prints the jobs it kept: the job
                // stays being cancelled, and the watcher sends the cancel again once a reading is answered.
                d.road.cancelOwed.insert(id);
                d.setJob(*target, JobWatch::unreachable(*item));
                d.watch(*target, id);
                return;
            }
            // CUPS kept the job (it may have just ended): the watcher tells how it ends.
            PrintJobItem changed = *item;
            changed.state = JobState::printing;
            changed.note = refused;
            d.setJob(*target, changed);
            d.watch(*target, id);
        });
    });
}

// ---- Operations ----

const std::vector<PrintJobItem>& PrintModel::jobs() const {
    return d->jobs;
}

void PrintModel::printAll() {
    if (photosPerSheet() == PhotosPerSheet::many)
        printGridPages();
    else
        printPhotos();
}

void PrintModel::printPhotos() {
    d->print(*this, d->sheetsToPrint(*this, false, std::nullopt));
}

void PrintModel::printGridPages() {
    d->print(*this, d->sheetsToPrint(*this, true, std::nullopt));
}

void PrintModel::printOnly(const PhotoItem& photo) {
    d->print(*this, d->sheetsToPrint(*this, photosPerSheet() == PhotosPerSheet::many, photo));
}

void PrintModel::cancel(const QUuid& jobID) {
    PrintJobItem* item = d->job(jobID);
    if (!item)
        return;
    PrintJobItem changed = *item;
    auto found = d->road.controls.find(jobID);
    std::shared_ptr<JobControl> control = found == d->road.controls.end() ? nullptr : found->second;
    switch (item->state) {
    case JobState::waiting:
    case JobState::rendering:
        if (control && (control->move(JobControl::waiting, JobControl::stopped) ||
                        control->move(JobControl::rendering, JobControl::stopped))) {
            std::erase_if(d->road.waiting, [&](const RoadSheet& sheet) { return sheet.job == jobID; });
            changed.state = JobState::cancelled;
            break;
        }
        [[fallthrough]]; // the task has begun sending it: cancelled through CUPS once it is there
    case JobState::sending:
        if (control)
            control->cancelAsked = true;
        changed.state = JobState::cancelling;
        break;
    case JobState::printing:
        changed.state = JobState::cancelling;
        d->setJob(*this, changed);
        d->cancelInCups(*this, jobID);
        d->watch(*this, jobID);
        return;
    case JobState::cancelling:
    case JobState::failed:
    case JobState::done:
    case JobState::cancelled:
        return;
    }
    d->setJob(*this, changed);
}

int PrintModel::unsentSheets() const {
    int sheets = 0;
    for (const PrintJobItem& job : d->jobs) {
        if (job.state == JobState::waiting || job.state == JobState::rendering ||
            job.state == JobState::sending)
            sheets += job.copies;
    }
    return sheets;
}

void PrintModel::exportPDFs(const std::filesystem::path& folder) {
    std::vector<SheetWork> sheets =
        d->sheetsToPrint(*this, photosPerSheet() == PhotosPerSheet::many, std::nullopt);
    if (sheets.empty())
        return;
    auto run = std::make_shared<ExportRun>();
    run->folder = folder;
    run->sheets = static_cast<int>(sheets.size());
    for (SheetWork& work : sheets)
        d->road.waiting.push_back(RoadSheet{std::move(work), {}, nullptr, run});
    showNotice(Notice{QStringLiteral("PDF를 만드는 중입니다…"), true, std::nullopt});
    d->startNextSheet(*this);
}

// ---- Notices ----

const std::optional<Notice>& PrintModel::notice() const {
    return d->notice;
}
void PrintModel::showNotice(const Notice& notice) {
    d->present(notice, !notice.working);
}
void PrintModel::clearNotice() {
    ++d->noticeGeneration;
    d->notice.reset();
    d->noticeOfWork.reset();
    emit noticeChanged();
}

void PrintModel::State::present(const Notice& shown, bool passes) {
    const std::uint64_t generation = ++noticeGeneration;
    notice = shown;
    if (shown.working)
        noticeOfWork = shown;
    if (passes) {
        PrintModel* target = self;
        QTimer::singleShot(self->noticeLifetime, self,
                           [target, generation] { target->d->noticePassed(generation); });
    }
    emit self->noticeChanged();
}

void PrintModel::State::noticePassed(std::uint64_t generation) {
    if (generation != noticeGeneration)
        return; // a newer notice took its place, with a time of its own
    ++noticeGeneration;
    notice = noticeOfWork;
    emit self->noticeChanged();
}

// ---- Demonstrations ----

// The windows' jobs list and notice in every state they can show, without a printer: for screenshots and for
// trying the windows.
void PrintModel::State::applyPrintDemonstrations() {
    PrintModel& model = *self;
    const char* demoJobs = std::getenv("QUILM_PRINT_DEMO_JOBS");
    if (demoJobs && std::string(demoJobs) == "1") {
        auto demo = [](JobState state, const char* name, int cupsJobID, int copies) {
            PrintJobItem job;
            job.id = QUuid::createUuid();
            job.photoName = QString::fromUtf8(name);
            job.queue = "EPSON_SC_P900_Series";
            job.state = state;
            job.cupsJobID = cupsJobID;
            job.copies = copies;
            return job;
        };
        jobs = {demo(JobState::failed, "IMG_2041.jpg", 0, 1),
                demo(JobState::waiting, "IMG_2042.jpg", 0, 2),
                demo(JobState::rendering, "IMG_2043.heic", 0, 1),
                demo(JobState::sending, "IMG_2044.tif", 0, 1),
                demo(JobState::printing, "IMG_2045.jpg", 118, 1),
                demo(JobState::cancelling, "IMG_2046.jpg", 119, 1),
                demo(JobState::done, "IMG_2047.png", 116, 3),
                demo(JobState::cancelled, "IMG_2048.jpg", 117, 1)};
        jobs[0].message = QStringLiteral("인쇄 작업을 보내지 못했습니다: 프린터가 응답하지 않습니다");
        jobs[4].processing = true;
        jobs[5].note = JobWatch::checkPrinterNote;
        emit model.jobsChanged();
    }
    const char* showNotice = std::getenv("QUILM_PRINT_SHOW_NOTICE");
    if (showNotice && *showNotice) {
        Notice demo{
            std::string(showNotice) == "1" ? exportedText(1) : QString::fromUtf8(showNotice), false, {}};
        if (const char* file = std::getenv("QUILM_PRINT_NOTICE_FILE"); file && *file)
            demo.reveal = std::filesystem::path(file);
        // Shown to be looked at (and photographed), so it stays until a real notice replaces it.
        present(demo, false);
    }
}

} // namespace QuilmPrint
