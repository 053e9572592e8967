#pragma once

#include "JobState.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Runs a whole job, from its beginning to its end, on a worker thread of its
// own at a lowered priority, and hands the job's news to the runner's own
// thread as queued calls: the end of each stage, then the end of the job. The
// UI thread never waits for the job: a stop is asked for with the job's cancel
// flag and arrives as the job's end, within half a second. Nothing arrives
// after the runner is gone.
class StageRunner : public QObject {
    Q_OBJECT
  public:
    // The job's whole life on the calling thread, as RunJob lives it; false
    // when the job was refused at its beginning.
    using JobFunction = std::function<bool(JobState&, const StageObserver&)>;
    struct Handlers {
        std::function<void(Stage finished)> stageDone;
        std::function<void(bool began)> jobDone; // the job has ended; nothing of it runs any more
    };

    // The nice value the job's thread takes (unless it already has a higher
    // one): the desktop comes first, yet the job keeps its share of the
    // processors beside other busy programs. Threads and decoders the job
    // starts inherit it.
    static constexpr int kNiceValue = 10;

    StageRunner(JobState& job, Handlers handlers, QObject* parent = nullptr);
    ~StageRunner() override;

    // Starts `run`; one job at a time. Returns false when no thread could be
    // started; nothing of the job has run then.
    bool Run(JobFunction run);

    // True from Run until the job's end has been handed over.
    bool IsRunning() const { return worker != nullptr; }

    // What the running (or last) job reported last: the stage it is in, and
    // its counts (0 of 0 at the beginning of each stage).
    StageProgress LastProgress() const;

    // For the runner's owner going away: asks the job to stop and waits for
    // its thread (at most about half a second), which ends the job; that end
    // is not handed over.
    void StopAndWait();

  private:
    void OnStageDone(Stage finished, quint64 jobNumber);
    void OnJobDone(bool began, quint64 jobNumber);
    void Publish(const StageProgress& report);

    JobState& job;
    Handlers handlers;
    std::unique_ptr<QThread> worker;
    quint64 jobNumber = 0;
    // Stage, done and total in one word, so a reader never sees the parts of
    // two reports.
    std::atomic<quint64> progress{0};
};
