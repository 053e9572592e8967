#pragma once

#include "JobReport.h"

#include <QString>

// What the window tells the user when a job has ended.
struct JobEndMessage {
    QString summary; // a few lines at most, whatever the report holds
    QString place;   // the folder the documents went into; empty when none was written
    QString details; // every picture, document or folder that failed, and why; empty when none did
};

// "转换完成" alone when everything converted. Otherwise the same words, how
// many documents were written and how many pictures, documents or folders
// failed, with the lines naming each of them and why in the details. A job
// that wrote no document at all, or that could not go on, says so instead of
// "转换完成". Whenever a document was written, `place` names `outputFolder`.
JobEndMessage DescribeJobEnd(const JobReport& report, const QString& outputFolder);
