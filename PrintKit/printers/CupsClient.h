// The program's one connection to CUPS: the queues of the user's default server (CUPS_SERVER, the
// client.conf, or the local scheduler), their PPD files, job submission, the state of a job and its cancel.
// Every call opens its own connection, so calls may run on any thread at the same time; each one blocks
// until the server has answered.
#pragma once

#include "PrintKit/printers/PrinterQueue.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PrintOption.h"
#include "PrintKit/support/Error.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace PrintKit {

enum class CupsClientErrorCode {
    queuesUnavailable,  // the printer list could not be read
    submissionFailed,   // the server did not take the job
    jobStatusFailed,    // the server answered, but neither with the job's state nor that it does not know it
    jobNotFound,        // the server answered that it does not know the job (purged, lost, or never there)
    serverUnreachable,  // no server answered: neither the job's state nor its cancel got through
    cancelFailed,       // the server did not cancel the job
    unreadableDocument, // the file to print could not be read
};

// The Korean message of a case; the detail is the CUPS error string (the file's path for
// unreadableDocument).
std::string errorMessage(CupsClientErrorCode code, const std::string& detail);

using CupsClientError = ServiceError<CupsClientErrorCode>;

// What the job watcher reads of a job.
struct JobAttributes {
    // "job-state" as its keyword: pending, pending-held, processing, processing-stopped, canceled, aborted,
    // completed.
    std::string state;
    // "job-printer-state-message": what the printer or its driver last said about the job; empty when
    // nothing (CUPS clears it when the job completes).
    std::string printerStateMessage;

    friend bool operator==(const JobAttributes&, const JobAttributes&) = default;
};

namespace CupsClient {

// Every destination of the server, with "printer-make-and-model" and "device-uri". A server without
// queues gives an empty list. Throws CupsClientError(queuesUnavailable).
std::vector<PrinterQueue> queues();

// The queue's PPD file, parsed with the given translation languages (absent keeps all): the file named after
// the queue in the folder where CUPS keeps them, or, where that file cannot be read (on Debian the folder is
// readable by root and lp only), the copy the server hands out, fetched into a temporary file
// ("QuilmPrint-" and a random part) that is removed once read. Throws PPDError: unreadable, with the
// queue's path in the folder, when neither can be had; notAPPD when what was read is no PPD file.
PPDFile ppd(const std::string& queue, const std::optional<LanguageSet>& languages,
            const std::filesystem::path& folder = PPDFile::systemDirectory());

// The queue's PPD file as it is stored: the same two places as ppd(), for tools that need the file itself.
// Throws PPDError(unreadable) with the queue's path in the folder.
std::string ppdText(const std::string& queue, const std::filesystem::path& folder = PPDFile::systemDirectory());

// Sends one PDF document as a new job and returns the job's id. The options go to CUPS as IPP attributes
// in the given order (for a key given twice, the later value counts); hold keeps the job from printing
// until it is released or cancelled. The title becomes the job's name. Throws
// CupsClientError(unreadableDocument) when the file cannot be read (no job is left behind) and
// CupsClientError(submissionFailed) when the server refuses the job or its document.
int submit(const std::string& queue, const std::filesystem::path& document, const std::string& title,
           const std::vector<PrintOption>& options, bool hold);

// The job's state and the printer's message about it. A job that cannot be read is never reported as
// finished; the failures are told apart because they mean different things for the job: CupsClientError
// (serverUnreachable) when no server answered (stopped, restarting, or busy: the job may still be there),
// CupsClientError(jobNotFound) when the server answered that it does not know the job (its end can never
// be learnt), CupsClientError(jobStatusFailed) when the server answered anything else but the job's state.
JobAttributes jobAttributes(int jobID);

// Cancels the job (it stays in the server's history as canceled). Throws CupsClientError(serverUnreachable)
// when no server answered (the cancel never arrived and may be sent again), CupsClientError(cancelFailed)
// when the server refused it, also for a job that has already ended.
void cancel(const std::string& queue, int jobID);

// The address of the server's web page of printers, where queues are set up: on the server this client
// talks to when that one is named by host (CUPS_SERVER or the client.conf, with its port), else on this
// machine's own scheduler at its usual port (a local socket has no web address).
std::string printersPage();

} // namespace CupsClient

} // namespace PrintKit
