#include "StageRunner.h"

#include <QThread>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The top bit holds the stage, the 31 below it the count done, the low 32 the total.
constexpr quint64 kBuildBit = quint64(1) << 63;

// Not QThread::IdlePriority: on Linux that is SCHED_IDLE, which gets nothing
// while any other program is busy, and the decoders would inherit it. A nice
// value on the normal class yields to the desktop but still gets a share. On
// Linux it belongs to this thread alone (its id, not the process's).
void LowerThisThreadsPriority(int nice) {
    const pid_t self = ::gettid();
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(self));
    if (errno == 0 && current < nice) {
        // A failure leaves the job at the window's own priority, which is no harm.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(self), nice);
    }
}

} // namespace

StageRunner::StageRunner(JobState& job, Handlers handlers, QObject* parent)
    : QObject(parent), job(job), handlers(std::move(handlers)) {}

StageRunner::~StageRunner() {
    StopAndWait();
}

void StageRunner::Publish(const StageProgress& report) {
    const quint64 stage = report.stage == Stage::Build ? kBuildBit : 0;
    progress = stage | (quint64(quint32(report.done) & 0x7FFFFFFF) << 32) | quint32(report.total);
}

bool StageRunner::Run(JobFunction run) {
    if (worker) {
        return false;
    }
    const quint64 number = ++jobNumber;
    Publish({Stage::Prepare, 0, 0});
    StageObserver observer;
    observer.progress = [this](const StageProgress& report) { Publish(report); };
    observer.done = [this, number](Stage finished) {
        // The counts of pictures must not show as counts of documents.
        if (finished == Stage::Prepare) {
            Publish({Stage::Build, 0, 0});
        }
        // The runner outlives this call: whoever destroys it waits for the
        // thread first. Qt drops the queued call if the runner is gone by then.
        QMetaObject::invokeMethod(
            this, [this, finished, number] { OnStageDone(finished, number); }, Qt::QueuedConnection);
    };
    worker.reset(QThread::create([this, number, run = std::move(run), observer = std::move(observer)] {
        LowerThisThreadsPriority(kNiceValue);
        const bool began = run(job, observer);
        QMetaObject::invokeMethod(
            this, [this, began, number] { OnJobDone(began, number); }, Qt::QueuedConnection);
    }));
    worker->start();
    if (!worker->isRunning() && !worker->isFinished()) {
        worker.reset();
        return false;
    }
    return true;
}

StageProgress StageRunner::LastProgress() const {
    const quint64 word = progress;
    return {(word & kBuildBit) != 0 ? Stage::Build : Stage::Prepare, int((word >> 32) & 0x7FFFFFFF),
            int(quint32(word))};
}

void StageRunner::OnStageDone(Stage finished, quint64 number) {
    if (number == jobNumber && worker && handlers.stageDone) {
        handlers.stageDone(finished);
    }
}

void StageRunner::OnJobDone(bool began, quint64 number) {
    if (number != jobNumber || !worker) {
        return; // a job taken back by StopAndWait
    }
    // The job's last act was to queue this call: its thread is ending.
    worker->wait();
    worker.reset();
    if (handlers.jobDone) {
        handlers.jobDone(began);
    }
}

void StageRunner::StopAndWait() {
    if (!worker) {
        return;
    }
    job.cancelRequested = true;
    worker->wait();
    worker.reset();
    ++jobNumber; // the queued news of this job now goes nowhere
}
