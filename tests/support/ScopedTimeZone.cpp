#include "ScopedTimeZone.h"

#include <cstdlib>
#include <ctime>

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* now = std::getenv("TZ")) {
        before_ = now;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (before_) {
        ::setenv("TZ", before_->c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}
