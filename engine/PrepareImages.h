#pragma once

#include "JobState.h"

// The preparation stage. Creates the job's scratch folder (inside the output
// folder) and publishes it in `job.workFolderPath`, then renders every source
// into it with NormalizeImage:
//  - ListMode::Files: entry n of the source list becomes "n.jpg";
//  - ListMode::Folders: the pictures of each folder (files passing the picture
//    test, in name order) become "0.jpg", "1.jpg", ... in a sub-folder named
//    after the folder; two folders with the same name get "Jan", "Jan (2)", ...;
//    a folder without pictures gets no sub-folder and is noted in the report.
// Pictures are prepared by `job.workers` threads at once; the files are the
// same as one thread would write. Progress goes to `observer.progress`; a
// cancel request stops the stage after the pictures under way, removes the
// scratch folder and marks the report cancelled. A refused job (bad page size,
// no scratch folder) sets `report.jobError`. In every case the last act is
// `observer.done(WM_PREPARE_DONE)`.
void PrepareImagesProc(JobState& job, const StageObserver& observer);
