#pragma once

#include "JobReport.h"

#include <cstdio>
#include <filesystem>

// The report for people: a summary line, then every failure with its reason.
// Failures are printed even when `quiet` is set.
void PrintTextReport(std::FILE* out, const JobReport& report, bool quiet);
