#pragma once

#include "JobState.h"

// The preparation stage of a job that BeginJob began. Creates the job's
// scratch folder (inside the output folder) and publishes it in
// `job.workFolderPath`, then has every source rendered into it by the decoder
// workers:
//  - ListMode::Files: entry n of the source list becomes page n (a picture of
//    several pages, a multi-page TIFF, its further pages n-1, n-2, ...: see
//    PreparedPages.h);
//  - ListMode::Folders: the pictures of each folder (files passing the picture
//    test, in name order or as `folderOrder` says) become pages 0, 1, ... in
//    a sub-folder named after the folder; two folders with the same name get
//    "Jan", "Jan (2)", ...; a folder without pictures gets no sub-folder and
//    is noted in the report.
// Every page, in order, goes into `job.prepared` with its file (none when it
// could not be written), its kept-JPEG place and recognised text, and its
// outcome.
// Pictures are prepared by `job.workers` workers at once; the files are the
// same as one worker would write. Progress goes to `observer.progress`, in
// pages. Each page that did not convert cleanly gets its own report line
// (text that could not be read, one line per picture). A full disk stops the
// stage at the first page that cannot be written, with one `jobError` line
// naming the folder the user chose and the space the page needed. A
// cancel request ends the workers and the stage within half a second and marks
// the report cancelled. Nothing escapes as an exception: a failure of the
// stage itself sets `report.jobError`. The last act is
// `observer.done(Stage::Prepare)`. Removing what the stage made is EndJob's.
void PrepareImagesProc(JobState& job, const StageObserver& observer);
