#include "ScanCleaning.h"

#include <cstdio>

std::string DescribeScanDecisions(const ScanDecisions& decided) {
    if (decided.blank) {
        return "blank, left out";
    }
    std::string text;
    if (decided.turnedBy != 0) {
        text = "turned upright by " + std::to_string(decided.turnedBy) + "\u00B0";
    }
    if (decided.straightenedBy != 0) {
        char degrees[32];
        std::snprintf(degrees, sizeof degrees, "%.2f", decided.straightenedBy);
        text += (text.empty() ? "" : ", ") + std::string("straightened by ") + degrees + "\u00B0";
    }
    return text.empty() ? "left as scanned" : text;
}
