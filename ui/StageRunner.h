#pragma once

#include "JobState.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Runs one stage of a job at a time on a worker thread at idle priority, and
// hands the stage's done notification to the runner's own thread as a queued
// call. A notification never arrives after the runner is gone or after
// StopAndWait has taken the stage back.
class StageRunner : public QObject {
    Q_OBJECT
  public:
    using StageFunction = std::function<void(JobState&, const StageObserver&)>;
    using DoneHandler = std::function<void(unsigned notification)>;

    StageRunner(JobState& job, DoneHandler onDone, QObject* parent = nullptr);
    ~StageRunner() override;

    // Starts `stage`; one stage at a time. Returns false when no thread could be
    // started; the stage has not run then.
    bool Run(StageFunction stage);

    // True from Run until the stage's notification has been handed over.
    bool IsRunning() const { return worker != nullptr; }

    // Asks the stage to stop after the work under way, waits for its thread to
    // end and returns the notification it delivered (0 when none was running).
    // That notification is not handed over any more.
    unsigned StopAndWait();

  private:
    void OnStageDone(unsigned notification, quint64 stageNumber);

    JobState& job;
    DoneHandler onDone;
    std::unique_ptr<QThread> worker;
    std::atomic<unsigned> delivered{0};
    quint64 stageNumber = 0;
};
