#include "TiffQuirks.h"

#include "VipsRuntime.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <tiffio.h>
#include <unistd.h>

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// A file held in memory that libtiff reads and writes through its client
// interface; writing past the end makes it longer.
struct MemoryFile {
    std::string bytes;
    uint64_t at = 0;

    static MemoryFile& Of(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }
    static tmsize_t Read(thandle_t handle, void* into, tmsize_t count) {
        MemoryFile& file = Of(handle);
        const uint64_t left = file.at < file.bytes.size() ? file.bytes.size() - file.at : 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, static_cast<uint64_t>(count)));
        std::memcpy(into, file.bytes.data() + file.at, n);
        file.at += n;
        return static_cast<tmsize_t>(n);
    }
    static tmsize_t Write(thandle_t handle, void* from, tmsize_t count) {
        MemoryFile& file = Of(handle);
        const uint64_t end = file.at + static_cast<uint64_t>(count);
        if (end > file.bytes.size()) {
            file.bytes.resize(static_cast<size_t>(end));
        }
        std::memcpy(file.bytes.data() + file.at, from, static_cast<size_t>(count));
        file.at = end;
        return count;
    }
    static toff_t Seek(thandle_t handle, toff_t offset, int whence) {
        MemoryFile& file = Of(handle);
        const uint64_t base = whence == SEEK_CUR ? file.at : whence == SEEK_END ? file.bytes.size() : 0;
        file.at = base + offset;
        return file.at;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t handle) { return Of(handle).bytes.size(); }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}
};

std::string LibtiffReason(const std::string& fallback) {
    std::string said = TakeVipsError();
    return said.empty() ? fallback : said;
}

} // namespace

TiffQuirks FindTiffQuirks(int fd, int directory) {
    TiffQuirks quirks;
    // libtiff reads through its own descriptor and closes it.
    const int own = ::dup(fd);
    if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
        if (own >= 0) {
            ::close(own);
        }
        return quirks;
    }
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFFdOpen(own, "quirks", "r"));
    if (!tiff) {
        ::close(own);
        return quirks;
    }
    if (directory > 0 && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(directory)) != 1) {
        return quirks;
    }
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t samples = 1;
    uint16_t format = SAMPLEFORMAT_UINT;
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    uint16_t photometric = 0;
    const bool photometricGiven = TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) == 1;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    quirks.greyPlanesApart = photometricGiven && grey && planar == PLANARCONFIG_SEPARATE && samples > 1;
    quirks.floatWithoutPhotometric =
        !photometricGiven && format == SAMPLEFORMAT_IEEEFP && samples == extraCount + 1;
    return quirks;
}

std::string WithGreyPhotometric(std::string file, int directory) {
    MemoryFile memory{std::move(file)};
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpen("picture", "r+", &memory, MemoryFile::Read, MemoryFile::Write, MemoryFile::Seek,
                       MemoryFile::Close, MemoryFile::Size, MemoryFile::Map, MemoryFile::Unmap));
    if (!tiff) {
        throw std::runtime_error(LibtiffReason("libtiff cannot open it"));
    }
    if (directory > 0 && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(directory)) != 1) {
        throw std::runtime_error(LibtiffReason("libtiff cannot find page " + std::to_string(directory + 1)));
    }
    if (TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) != 1 ||
        TIFFRewriteDirectory(tiff.get()) != 1) {
        throw std::runtime_error(LibtiffReason("libtiff cannot mark the picture as grey"));
    }
    tiff.reset(); // writes what libtiff still holds
    return std::move(memory.bytes);
}
