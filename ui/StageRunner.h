#pragma once

#include "JobState.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Runs one stage of a job at a time on a worker thread at idle priority, and
// hands the stage's end to the runner's own thread as a queued call. The UI
// thread never waits for a stage: a stop is asked for with the job's cancel
// flag and arrives as the stage's end, within half a second. An end never
// arrives after the runner is gone.
class StageRunner : public QObject {
    Q_OBJECT
  public:
    using StageFunction = std::function<void(JobState&, const StageObserver&)>;
    using DoneHandler = std::function<void(Stage finished)>;

    StageRunner(JobState& job, DoneHandler onDone, QObject* parent = nullptr);
    ~StageRunner() override;

    // Starts `stage`; one stage at a time. Returns false when no thread could be
    // started; the stage has not run then.
    bool Run(StageFunction stage);

    // True from Run until the stage's end has been handed over.
    bool IsRunning() const { return worker != nullptr; }

    // What the running (or last) stage reported last; its stage field is not kept.
    StageProgress LastProgress() const;

    // For the runner's owner going away: asks the stage to stop and waits for
    // its thread (at most about half a second); its end is not handed over.
    void StopAndWait();

  private:
    void OnStageDone(Stage finished, quint64 stageNumber);

    JobState& job;
    DoneHandler onDone;
    std::unique_ptr<QThread> worker;
    quint64 stageNumber = 0;
    // Done and total in one word, so a reader never sees the halves of two reports.
    std::atomic<quint64> progress{0};
};
