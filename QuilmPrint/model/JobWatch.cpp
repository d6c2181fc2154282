#include "QuilmPrint/model/JobWatch.h"

#include <algorithm>

namespace QuilmPrint::JobWatch {

using State = PrintJobItem::State;

bool isFollowed(State state) {
    return state == State::printing || state == State::cancelling;
}

PrintJobItem read(PrintJobItem job, const PrintKit::JobAttributes& attributes) {
    if (job.note == unreachableNote) {
        job.note.clear(); // the server answers again, whatever it says of the job
    }
    const std::string& state = attributes.state;
    if (state == "completed") {
        job.state = State::done;
    } else if (state == "canceled") {
        job.state = State::cancelled;
    } else if (state == "aborted") {
        job.state = State::failed;
        job.message = abortedMessage;
    } else if (state == "processing-stopped") {
        job.processing = false;
        job.note = attributes.printerStateMessage.empty()
                       ? checkPrinterNote
                       : QString::fromStdString(attributes.printerStateMessage);
        return job;
    } else if (state == "pending" || state == "pending-held" || state == "processing") {
        // The printer took up the job again: what it said while stopped no longer holds.
        job.processing = state == "processing";
        job.note.clear();
        return job;
    } else {
        return job; // a state this program does not know: keep what is shown
    }
    job.processing = false;
    job.note.clear();
    return job;
}

PrintJobItem unreadable(PrintJobItem job, PrintKit::CupsClientErrorCode code, const QString& reason,
                        int failures) {
    job.processing = false;
    if (code == PrintKit::CupsClientErrorCode::jobNotFound || failures >= unreadableReadings) {
        job.state = State::failed;
        job.message = lostMessage;
        job.note.clear();
    } else {
        job.note = reason;
    }
    return job;
}

PrintJobItem unreachable(PrintJobItem job) {
    job.processing = false;
    job.note = unreachableNote;
    return job;
}

std::chrono::milliseconds nextReading(std::chrono::milliseconds waited, bool answered,
                                      std::chrono::milliseconds interval, std::chrono::milliseconds limit) {
    if (answered) {
        return interval;
    }
    return std::clamp(waited * 2, interval, std::max(interval, limit));
}

} // namespace QuilmPrint::JobWatch
