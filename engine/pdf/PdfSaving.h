#pragma once

#include "PdfProtection.h"

#include <filesystem>
#include <optional>

class DocumentBuilder;

// Saves the document under a temporary name beside `target` and renames it
// into place once it is complete and on the disk, so an interrupted job never
// leaves a truncated PDF under the final name and an earlier document of that
// name is replaced only by a finished one (and only when `replaceExisting`;
// otherwise an existing file is a failure, checked in the same step as the
// rename). A document that needs a second pass (AES-256 protection, kept
// pictures: see PdfRewrite.h) is written by the library to a file without a
// name and finished from there into the temporary file, so no unprotected
// copy ever appears under any name. False, with the failure
// recorded in `doc`, when the document could not be put in place; nothing is
// left behind then.
bool SaveAtomically(DocumentBuilder& doc, const std::filesystem::path& target,
                    const std::optional<DocumentProtection>& protection, bool replaceExisting);
