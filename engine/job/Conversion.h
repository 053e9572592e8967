#pragma once

#include "JobState.h"

#include <ctime>
#include <filesystem>

// A job's whole life, owned by the engine so that the window and the command
// line live it alike: BeginJob, PrepareImagesProc (PrepareImages.h),
// BuildPdfsStage, EndJob.

// Begins a job whose `options` and `sourceList` the front end has filled:
// clears the report and the cancel flag, checks the options (the one check of
// the page size, resolution and margin, the quality, the output file, and the
// recognition languages when there are any), finds the decoder worker, clears
// away what jobs that died left in `saveFolder`, and creates the time-stamped
// output folder there. With an output file chosen, no folder is made: the job
// works beside that file, and `saveFolder` is not used.
// Returns false, with `job.report.jobError` and `job.report.refusal` saying
// why, when the job must not run; nothing is created then.
bool BeginJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime);

// The PDF stage that suits the job's list mode; see PdfStage.h.
void BuildPdfsStage(JobState& job, const StageObserver& observer);

// Ends a job, whatever happened before: refusal, failure, exception, cancel,
// or a stage that never ran. Removes the scratch folder and every folder of
// the output that received nothing (the output folder itself included), and
// marks the report cancelled when a cancel was asked for. It is the only step
// that deletes anything; calling it again does nothing more.
void EndJob(JobState& job);

// The whole job on the calling thread: begin, prepare, build (when the job
// goes on), end. False when the job was refused at its beginning.
bool RunJob(JobState& job, const std::filesystem::path& saveFolder, std::time_t startTime,
            const StageObserver& observer);
