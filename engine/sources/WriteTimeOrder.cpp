#include "WriteTimeOrder.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <sys/stat.h>

int64_t WriteTimeKey(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    std::tm local{};
    if (localtime_r(&info.st_mtim.tv_sec, &local) == nullptr) {
        return 0;
    }
    const int64_t milliseconds = info.st_mtim.tv_nsec / 1'000'000;
    int64_t key = local.tm_year + 1900;
    for (int part : {local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec}) {
        key = key * 100 + part;
    }
    return key * 1000 + milliseconds;
}

void OrderByWriteTime(const std::vector<std::filesystem::path>& source,
                      std::vector<std::filesystem::path>& target) {
    std::vector<int64_t> keys;
    keys.reserve(source.size());
    for (const auto& path : source) {
        keys.push_back(WriteTimeKey(path));
    }
    std::vector<size_t> order(source.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    for (size_t i : order) {
        target.push_back(source[i]);
    }
}
