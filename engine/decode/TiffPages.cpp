#include "TiffPages.h"

#include <memory>
#include <tiffio.h>
#include <unistd.h>

TiffPages ListTiffPages(int fd, size_t maxPages) {
    TiffPages pages;
    // libtiff reads through its own descriptor and closes it.
    const int own = ::dup(fd);
    if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
        if (own >= 0) {
            ::close(own);
        }
        return pages;
    }
    TIFF* opened = TIFFFdOpen(own, "pages", "r");
    if (opened == nullptr) {
        ::close(own);
        return pages;
    }
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(opened, &TIFFClose);
    int directory = 0;
    do {
        uint32_t kind = 0;
        TIFFGetField(tiff.get(), TIFFTAG_SUBFILETYPE, &kind);
        if ((kind & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK)) == 0) {
            if (pages.directories.size() == maxPages) {
                pages.more = true;
                break;
            }
            pages.directories.push_back(directory);
        }
        ++directory;
    } while (TIFFReadDirectory(tiff.get()) == 1);
    if (pages.directories.empty() && maxPages > 0) {
        pages.directories.push_back(0);
    }
    return pages;
}
