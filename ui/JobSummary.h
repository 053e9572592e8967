#pragma once

#include "JobReport.h"

#include <QString>

// What the window tells the user when a job has ended: "转换完成" alone when
// everything converted; otherwise the same words followed by how many documents
// were written and which pictures, documents or folders failed and why. Long
// lists are cut after `maxItemsPerList` entries so the message stays readable.
QString DescribeJobEnd(const JobReport& report, int maxItemsPerList = 10);
