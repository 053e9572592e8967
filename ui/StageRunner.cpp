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
    delivered = 0;
    StageObserver observer;
    observer.progress = [](const StageProgress&) {};
    observer.done = [this, number](unsigned notification) {
        delivered = notification;
        // The runner outlives this call: whoever destroys it waits for the
        // thread first. Qt drops the queued call if the runner is gone by then.
        QMetaObject::invokeMethod(
            this, [this, notification, number] { OnStageDone(notification, number); }, Qt::QueuedConnection);
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

void StageRunner::OnStageDone(unsigned notification, quint64 number) {
    if (number != stageNumber || !worker) {
        return; // a stage taken back by StopAndWait
    }
    worker->wait();
    worker.reset();
    onDone(notification);
}

unsigned StageRunner::StopAndWait() {
    if (!worker) {
        return 0;
    }
    job.cancelRequested = true;
    worker->wait();
    worker.reset();
    ++stageNumber; // the queued notification of this stage now goes nowhere
    return delivered;
}
