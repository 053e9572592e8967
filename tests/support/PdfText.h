#pragma once

#include <filesystem>
#include <optional>
#include <string>

// What readers make of a PDF we wrote, through poppler's tools (poppler-utils).

// The text that search and copy find in `pdf`, as pdftotext extracts it in
// UTF-8; empty when the document cannot be opened with `password`.
std::optional<std::string> PdfToText(const std::filesystem::path& pdf, const std::string& password = "");

// Where a reader finds a word on the first page, in points from the page's
// top-left corner, as pdftotext reports it.
struct PdfWordBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};
std::optional<PdfWordBox> FindWord(const std::filesystem::path& pdf, const std::string& word,
                                   const std::string& password = "");

// The first page of `pdf` as poppler draws it at `dpi`, as PPM bytes; empty
// when the document cannot be opened with `password`.
std::string DrawFirstPage(const std::filesystem::path& pdf, int dpi, const std::string& password = "");
