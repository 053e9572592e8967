#pragma once

#include "DocumentPlan.h"

#include <string>

// The XMP packet of a PDF/A document: its PDF/A identification (part
// `level`, conformance B) and the same title, author, subject, keywords,
// producer and dates as its document information, which a validator checks
// against each other. Text is escaped for XML; the packet may be rewritten
// in place (it ends in the usual padding).
std::string XmpMetadataFor(const DocumentInfo& info, PdfA level);

// A date as XMP writes it: "2026-12-09T17:55:25+01:00", "2026-12-09T17:55:25Z".
std::string XmpDate(const LocalDate& date);
