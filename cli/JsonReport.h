#pragma once

#include "JobReport.h"

#include <filesystem>
#include <string>

// The report as one JSON object, for scripts.
std::string JsonReport(const JobReport& report, const std::filesystem::path& outputFolder);
