#include "TiffPages.h"

#include "TiffOpen.h"

TiffPages ListTiffPages(int fd, size_t maxPages) {
    TiffPages pages;
    const TiffHandle tiff = OpenTiffFile(fd, "pages", TiffComplaints::Ignored);
    if (!tiff) {
        return pages;
    }
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
