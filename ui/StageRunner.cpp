#include "StageRunner.h"

#include <QThread>

StageRunner::StageRunner(JobState& job, DoneHandler onDone, QObject* parent)
    : QObject(parent), job(job), onDone(std::move(onDone)) {}

StageRunner::~StageRunner() {
    StopAndWait();
}

bool StageRunner::Run(StageFunction stage) {
    if (worker) {
        return false;
    }
    const quint64 number = ++stageNumber;
    progress = 0;
    StageObserver observer;
    observer.progress = [this](const StageProgress& report) {
        progress = (quint64(quint32(report.done)) << 32) | quint32(report.total);
    };
    observer.done = [this, number](Stage finished) {
        // The runner outlives this call: whoever destroys it waits for the
        // thread first. Qt drops the queued call if the runner is gone by then.
        QMetaObject::invokeMethod(
            this, [this, finished, number] { OnStageDone(finished, number); }, Qt::QueuedConnection);
    };
    worker.reset(QThread::create(
        [this, stage = std::move(stage), observer = std::move(observer)] { stage(job, observer); }));
    // Idle priority keeps the desktop responsive while pictures are rendered;
    // threads the stage starts inherit it.
    worker->start(QThread::IdlePriority);
    if (!worker->isRunning() && !worker->isFinished()) {
        worker.reset();
        return false;
    }
    return true;
}

StageProgress StageRunner::LastProgress() const {
    const quint64 both = progress;
    return {Stage::Prepare, int(quint32(both >> 32)), int(quint32(both))};
}

void StageRunner::OnStageDone(Stage finished, quint64 number) {
    if (number != stageNumber || !worker) {
        return; // a stage taken back by StopAndWait
    }
    // The stage's last act was to queue this call: its thread is ending.
    worker->wait();
    worker.reset();
    onDone(finished);
}

void StageRunner::StopAndWait() {
    if (!worker) {
        return;
    }
    job.cancelRequested = true;
    worker->wait();
    worker.reset();
    ++stageNumber; // the queued end of this stage now goes nowhere
}
