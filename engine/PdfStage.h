#pragma once

#include "JobState.h"

// The PDF stage for a list of pictures: "result.pdf" when merging, otherwise
// "n.pdf" for the picture at place n of the list; then removes the scratch
// folder. A cancel request stops it after the document under way (no partial
// file is left) and still removes the scratch folder. Last act:
// `observer.done(WM_CONVERT_DONE)`.
void BuildPdfsProc(JobState& job, const StageObserver& observer);

// The PDF stage for a list of folders: one output sub-folder per prepared
// group, with the group's "result.pdf" or its "k.pdf" files. A group whose
// documents fail does not stop the others. Same cleanup and last act.
void BuildFolderPdfsProc(JobState& job, const StageObserver& observer);
