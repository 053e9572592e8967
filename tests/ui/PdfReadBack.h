#pragma once

#include <QString>

// Opens a PDF with qpdf, as a reader would: its page count, or -1 when the
// file is not a complete, readable PDF (one that qpdf has to repair, as it
// does a truncated file, counts as broken). `password` opens protected files.
int PdfPageCount(const QString& path, const QString& password = {});

// True when the file asks for a password before it can be read.
bool PdfNeedsPassword(const QString& path);
