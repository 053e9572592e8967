#pragma once

#include <cstddef>
#include <vector>

// The pages of a multi-page TIFF (a fax, a scanned document): its directories
// in file order, leaving out those that are not pages of their own, namely
// reduced-size copies of a page (thumbnails, pyramid levels) and transparency
// masks. A file whose every directory is such a copy is read as one page, its
// first directory.
struct TiffPages {
    std::vector<int> directories; // the directory of each page, in order
    bool more = false;            // the file has more pages than were asked for
};

// At most `maxPages` pages of the TIFF open on `fd` (which stays the
// caller's). A directory that libtiff cannot read ends the list there, so a
// damaged chain still gives the pages before the damage. Empty when libtiff
// cannot open the file at all.
TiffPages ListTiffPages(int fd, size_t maxPages);
