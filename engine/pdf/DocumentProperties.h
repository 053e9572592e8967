#pragma once

#include <cstdint>
#include <string>

// What the user tells viewers about the documents of a job, in UTF-8. An
// empty field is left out of the documents; an empty title keeps the title
// each document is given by default (its folder or its picture).
struct DocumentProperties {
    std::string title;
    std::string author;
    std::string subject;
    std::string keywords;
};

// The PDF/A level a document is written to: none (the default), PDF/A-1b or
// PDF/A-2b, the archival forms that preserve how a document looks.
enum class PdfA : int32_t {
    None = 0,
    A1b = 1,
    A2b = 2,
};

// Why a document cannot be both archival and protected, as both fronts tell it.
inline constexpr const char* kPdfANoEncryption =
    "PDF/A does not allow encryption: turn off the password and the print restriction, or PDF/A";
