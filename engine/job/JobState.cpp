#include "JobState.h"

JobState& SharedJobState() {
    static JobState state;
    return state;
}

bool JobGoesOn(const JobState& job) {
    return job.report.jobError.empty() && !job.report.cancelled && !job.cancelRequested.load() &&
           !job.workFolderPath.empty();
}
