#include "NaturalOrder.h"

#include <cstring>
#include <memory>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

namespace {

struct CollatorCloser {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

// The locale whose collation the user expects. Without a language of its own
// (the C or POSIX locale) ICU would sort in ASCII order, capitals before
// small letters; the language-neutral root collation is used instead.
const char* CollationLocale() {
    const char* locale = uloc_getDefault();
    if (locale == nullptr || std::strncmp(locale, "en_US_POSIX", 11) == 0 || std::strcmp(locale, "c") == 0) {
        return "";
    }
    return locale;
}

Collator OpenCollator() {
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open(CollationLocale(), &status));
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator.reset(ucol_open("", &status));
    }
    if (collator) {
        status = U_ZERO_ERROR;
        ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    }
    return collator;
}

// One collator per thread: the window sorts on its own thread, the
// preparation stage on a worker.
UCollator* ThreadCollator() {
    thread_local Collator collator = OpenCollator();
    return collator.get();
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

int CompareNaturally(std::string_view a, std::string_view b) {
    if (UCollator* collator = ThreadCollator()) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result = ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()),
                                                         b.data(), static_cast<int32_t>(b.size()), &status);
        if (U_SUCCESS(status) && result != UCOL_EQUAL) {
            return result == UCOL_LESS ? -1 : 1;
        }
    }
    return Sign(a.compare(b));
}

bool NaturallyBefore(const std::filesystem::path& a, const std::filesystem::path& b) {
    auto x = a.begin();
    auto y = b.begin();
    for (; x != a.end() && y != b.end(); ++x, ++y) {
        if (const int order = CompareNaturally(x->native(), y->native()); order != 0) {
            return order < 0;
        }
    }
    return x == a.end() && y != b.end();
}
