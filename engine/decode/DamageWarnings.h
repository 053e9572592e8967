#pragma once

#include <string>
#include <string_view>

// Decoders warn about many things. Some warnings mean that part of the
// picture is missing or garbled (a bad Huffman code, a data segment cut
// short): the page then shows damage and the report must say so. Others are
// harmless (junk bytes between header segments, an unknown JFIF version, a
// bad ICC marker) and stay silent.

// The lines of `warnings` (one warning a line, as libvips and libtiff pass
// them on) that report damaged picture data, joined by newlines; empty when
// none does.
std::string DamageIn(std::string_view warnings);

// What one decode of a JPEG, at an eighth of its size (which still reads
// every bit of its data), found.
struct JpegScan {
    bool failed = false; // the decoder gave up: a header or table it cannot use
    int warnings = 0;    // every warning, harmless ones included
    int damage = 0;      // the warnings that mean damaged data
    std::string firstDamage;
};
JpegScan ScanJpeg(std::string_view jpeg);

// libvips names only the first warning libjpeg gives while decoding. This
// decodes `jpeg` once more with libjpeg (at an eighth of its size, which still
// reads every bit of its data) and describes every warning that means
// damaged data, e.g. "Corrupt JPEG data: bad Huffman code (and 40 more
// warnings of damage)". Empty when there are none.
std::string JpegDataDamage(std::string_view jpeg);
