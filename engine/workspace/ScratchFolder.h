#pragma once

#include <filesystem>

// Creates a fresh scratch folder for one job inside `parent` (by default the
// job's output folder, so a large job fills the disk it writes to, not a small
// RAM-backed temporary directory). The folder is new, readable only by the user,
// named ".quillmark-work-<process id>-<random>", and holds a note of which
// process owns it, so that a later job can tell a folder of a job that died
// from one still in use. Throws std::filesystem::filesystem_error.
std::filesystem::path CreateScratchFolder(const std::filesystem::path& parent);

// Removes what jobs that died (killed, crashed, power cut) left in the output
// folders directly inside `saveFolder`: their scratch folders, their unfinished
// documents (hidden temporary files beside the final names) and output folders
// that hold nothing else. Only folders that are provably ours and whose owning
// process is gone are touched. Returns how many scratch folders were removed.
int RemoveLeftoversOfDeadJobs(const std::filesystem::path& saveFolder);

// Removes the scratch folders of jobs that died directly inside `folder` (a
// folder of the user's, where a job wrote one chosen output file); nothing
// else there is touched. Returns how many were removed.
int RemoveDeadScratchFolders(const std::filesystem::path& folder);
