#pragma once

#include "DocumentPlan.h"

#include <atomic>
#include <filesystem>
#include <string>

// Writes `plan` with libharu into `file` (created empty beforehand): every
// page a page picture over its sheet, one pixel per point on a Custom page,
// the library's CJK font sets registered and their font selected on every
// page, each page the open action in turn (so the document opens at its last
// page), the producer, the creation time and the title, and RC4 protection
// when the plan asks for it. Only for plans WriterFor gives to libharu.
// Empty on success, otherwise why the document failed, in words for the user;
// the first error the library reports ends the document. `cancel`, when
// given, is looked at between pages.
std::string WriteWithHaru(const DocumentPlan& plan, const std::filesystem::path& file,
                          const std::atomic<bool>* cancel);
