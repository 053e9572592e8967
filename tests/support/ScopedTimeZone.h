#pragma once

#include <optional>
#include <string>

// Sets the process's time zone (TZ) for the life of the object and puts the
// one before back, set or unset, however the test ends: otherwise every test
// that runs after it in the same process would see that zone.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> before_;
};
