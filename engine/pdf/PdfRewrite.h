#pragma once

#include "PdfDocument.h"
#include "PdfProtection.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The second pass some documents need after libharu has written them, made
// with libqpdf: the bytes of every kept picture put in place of its stand-in
// (read from its file as it is written, never held twice), and AES-256 with
// revision 6, the same passwords and the same permissions as RC4 would have,
// which libharu cannot write. A document libharu encrypted with RC4 is read
// with its permissions password and keeps that very encryption. Every other
// stream goes through as it is: nothing is decoded, recompressed or turned.
// Reads the document from `written` and writes the result to `out`. Empty on
// success, otherwise why it failed, naming `name`.
std::string RewriteDocument(std::FILE* written, std::FILE* out, const std::vector<KeptPicture>& kept,
                            const std::optional<DocumentProtection>& protection, const std::string& name);

// True when a document with these pictures and this protection needs that pass.
bool NeedsRewrite(const std::vector<KeptPicture>& kept, const std::optional<DocumentProtection>& protection);
