#pragma once

#include <filesystem>

// Creates a fresh scratch folder for one job inside `parent` (by default the
// job's output folder, so a large job fills the disk it writes to, not a small
// RAM-backed temporary directory). The folder is new, readable only by the user,
// and named ".quillmark-work-<process id>-<random>" so that it can be told apart
// from anything of the user's. Throws std::filesystem::filesystem_error.
std::filesystem::path CreateScratchFolder(const std::filesystem::path& parent);
