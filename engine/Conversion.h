#pragma once

#include "JobState.h"

#include <ctime>
#include <filesystem>

// What a front end does when the user starts a job, before any stage runs:
// clears the report and the cancel flag, checks the page size, clears away
// what jobs that died left in `saveFolder`, and creates the time-stamped output
// folder there. Returns false, with
// `job.report.jobError` saying why, when the job must not run; nothing is
// created then.
bool BeginJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime);

// The PDF stage that suits the job's list mode.
void BuildPdfsStage(JobState& job, const StageObserver& observer);

// Runs both stages one after the other on the calling thread, as the window
// does on its worker threads: the command line and the tests use it.
void RunConversion(JobState& job, const StageObserver& observer);
