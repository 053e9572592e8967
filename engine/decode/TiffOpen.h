#pragma once

// Opening TIFFs for our own reading and writing.
//
// libtiff has one error handler for the whole process, and ImageMagick's TIFF
// reader puts in one of its own that reports into the exception of its latest
// read. That exception is freed when the read ends, so once ImageMagick has
// read one picture, the next complaint libtiff makes about another aborts the
// process. Handles opened here carry handlers of their own, which leave
// libtiff's complaints where libvips leaves its: errors in its error buffer
// (TakeVipsError), warnings in its log.

#include <cstdint>
#include <memory>
#include <string>
#include <tiffio.h>

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// What becomes of libtiff's complaints about a handle: a quick look at a file
// that a decoder reads afterwards leaves them to the decoder to make.
enum class TiffComplaints { Reported, Ignored };

// The TIFF behind `fd`, read from its start. libtiff closes the descriptor it
// reads, so it gets a duplicate. Null when it cannot be opened, with the
// reason in libvips' error buffer when complaints are reported.
TiffHandle OpenTiffFile(int fd, const char* name, TiffComplaints complaints = TiffComplaints::Reported);

// What libtiff said about the latest failure on a reported handle, or
// `fallback` when it said nothing.
std::string LibtiffReason(const std::string& fallback);

// A TIFF file held in memory; writing past its end makes it longer.
struct TiffInMemory {
    std::string bytes;
    uint64_t at = 0;
};

// `mode` as for TIFFOpen: "r", "r+" or "w". Null when it cannot be opened,
// with the reason in libvips' error buffer.
TiffHandle OpenTiffInMemory(TiffInMemory& file, const char* name, const char* mode);
