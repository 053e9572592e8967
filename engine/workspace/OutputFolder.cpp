#include "OutputFolder.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

std::string OutputFolderName(std::time_t startTime) {
    std::tm local{};
    localtime_r(&startTime, &local);
    char digits[32];
    if (std::strftime(digits, sizeof digits, "%Y%m%d%H%M%S", &local) == 0) {
        return {};
    }
    return std::string("转换结果") + digits;
}

std::filesystem::path CreateOutputFolder(const std::filesystem::path& saveFolder, std::time_t startTime) {
    const std::string name = OutputFolderName(startTime);
    for (int attempt = 1;; ++attempt) {
        std::filesystem::path candidate =
            saveFolder / (attempt == 1 ? name : name + "_" + std::to_string(attempt));
        // mkdir either creates the folder or tells us it exists, in one step, so a
        // second job racing this one cannot take the same name.
        if (::mkdir(candidate.c_str(), 0777) == 0) {
            return candidate;
        }
        if (errno != EEXIST) {
            throw std::filesystem::filesystem_error("cannot create the output folder", candidate,
                                                    std::error_code(errno, std::generic_category()));
        }
    }
}
