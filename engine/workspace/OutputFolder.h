#pragma once

#include <ctime>
#include <filesystem>
#include <string>

// "转换结果" followed by the local time as %Y%m%d%H%M%S.
std::string OutputFolderName(std::time_t startTime);

// Creates this job's output folder inside `saveFolder` and returns it. A job
// started in the same second as another gets "_2", "_3", ... so two jobs never
// share (and overwrite) one folder. Throws std::filesystem::filesystem_error
// when the folder cannot be created.
std::filesystem::path CreateOutputFolder(const std::filesystem::path& saveFolder, std::time_t startTime);
