#pragma once

#include "PageNotes.h"
#include "PagePlacement.h"
#include "PdfDocument.h"
#include "PdfTextLayer.h"

#include <cstdint>
#include <filesystem>

// Adds the page of the prepared JPEG `jpeg` to the document, as its notes
// say, on the PDF page PdfPageFor gives for its page picture: any page
// picture drawn over the sheet (one point per pixel on a Custom page), a kept
// JPEG drawn into the place it has on the page picture it stands in for,
// turned as its EXIF orientation says, through the page's transformation
// matrix. The page's recognised text, if any, goes invisibly over the page
// picture through `textFont`. Each page becomes the open action in turn and
// selects `font`. False, with the failure recorded in `doc`, when the library
// refused any step.
bool AddPreparedPage(DocumentBuilder& doc, HPDF_Font font, TextLayerFont& textFont,
                     const std::filesystem::path& jpeg, const PageNotes& notes, const PageSetup& setup);
