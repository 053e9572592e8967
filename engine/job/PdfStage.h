#pragma once

#include "JobState.h"

// The PDF stage for a list of pictures: "result.pdf" when merging, otherwise
// "n.pdf" for the picture at place n of the list.
void BuildPdfsProc(JobState& job, const StageObserver& observer);

// The PDF stage for a list of folders: one output sub-folder per prepared
// group, named after the group, with the group's "result.pdf" or its "k.pdf" files. A group whose
// documents fail does not stop the others.
void BuildFolderPdfsProc(JobState& job, const StageObserver& observer);

// Both stages take their pages from `job.prepared` and run only for a job
// whose preparation went through; a page without a page picture is left out
// (the preparation has reported it). A cancel request stops them between pages (no partial file is
// left). Nothing escapes as an exception. The last act is
// `observer.done(Stage::Build)`; removing the scratch folder is EndJob's.
