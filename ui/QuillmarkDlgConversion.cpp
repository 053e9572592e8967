// The window's side of a conversion job: Start, the hand-over between the two
// stages, the progress display and the end of the job.
#include "QuillmarkDlg.h"

#include "Conversion.h"
#include "DialogTemplate.h"
#include "FolderTree.h"
#include "JobSummary.h"
#include "PageSize.h"
#include "PathText.h"
#include "PrepareImages.h"
#include "ProgressIndicator.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimerEvent>
#include <QTreeWidget>
#include <ctime>
#include <system_error>

namespace {

// The buttons a running job locks, so no second job, list edit or folder change
// can start under it.
constexpr int kLockedButtons[] = {
    ControlId::AddFiles,     ControlId::AddFolder,        ControlId::Start,      ControlId::RemoveFile,
    ControlId::ClearList,    ControlId::MoveToTop,        ControlId::MoveUp,     ControlId::MoveDown,
    ControlId::MoveToBottom, ControlId::ChangeSaveFolder, ControlId::ViewResult,
};

constexpr int kProgressPeriodMs = 1000;

} // namespace

void CQuillmarkDlg::CaptureOptions() {
    ConvertOptions& options = job.options;
    options.pageWidth = ParsePageDimension(Control<QLineEdit>(ControlId::PageWidth)->text().toStdString());
    options.pageHeight = ParsePageDimension(Control<QLineEdit>(ControlId::PageHeight)->text().toStdString());
    options.mergeIntoOne = Control<QRadioButton>(ControlId::MergeIntoOne)->isChecked() ? 1 : 0;
    const bool protect = Control<QCheckBox>(ControlId::PasswordBox)->isChecked();
    options.usePassword = protect ? 1 : 0;
    if (protect) {
        options.password = Control<QLineEdit>(ControlId::Password)->text().toStdU16String();
    }
    options.forbidPrint = Control<QCheckBox>(ControlId::ForbidPrint)->isChecked() ? 1 : 0;
    options.listMode =
        Control<QCheckBox>(ControlId::TraverseBox)->isChecked() ? ListMode::Folders : ListMode::Files;
}

void CQuillmarkDlg::OnStartConversion() {
    CaptureOptions();
    const auto* list = Control<QTreeWidget>(ControlId::SourceList);
    if (list->topLevelItemCount() == 0) {
        shell.ShowMessage(this, UiTexts::kNothingToConvert, Shell::Buttons::Ok);
        return;
    }
    // A size no PDF page can have would give a job that writes nothing.
    if (CheckPageSize(job.options.pageWidth, job.options.pageHeight)) {
        shell.ShowMessage(this,
                          UiTexts::kBadPageSize.arg(kMinPageSide)
                              .arg(kMaxPageSide)
                              .arg(job.options.pageWidth)
                              .arg(job.options.pageHeight),
                          Shell::Buttons::Ok);
        return;
    }
    job.sourceList.clear();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        job.sourceList.push_back(ToPath(list->topLevelItem(row)->text(0)));
    }
    const QString saveFolder = Control<QLineEdit>(ControlId::SaveFolder)->text();
    if (!BeginJob(job, ToPath(saveFolder), std::time(nullptr))) {
        shell.ShowMessage(this, UiTexts::kCannotBegin.arg(QString::fromStdString(job.report.jobError)),
                          Shell::Buttons::Ok);
        return;
    }

    SetLockedButtonsEnabled(false);
    converting = true;
    progressStep = 0;
    progressTimer.start(kProgressPeriodMs, this);
    if (!runner.Run(PrepareImagesProc)) {
        job.report.jobError = "no worker thread could be started";
        OnConvertDone();
    }
}

void CQuillmarkDlg::OnStageDone(unsigned notification) {
    if (notification == WM_PREPARE_DONE) {
        OnPrepareDone();
    } else {
        OnConvertDone();
    }
}

void CQuillmarkDlg::OnPrepareDone() {
    // A job the preparation refused has no pages and no scratch folder to build from.
    if (!job.report.jobError.empty()) {
        OnConvertDone();
        return;
    }
    if (!runner.Run(BuildPdfsStage)) {
        DeleteFolderTree(job.workFolderPath);
        job.report.jobError = "no worker thread could be started";
        OnConvertDone();
    }
}

void CQuillmarkDlg::OnConvertDone() {
    Control(ControlId::AddFiles)->setEnabled(!Control<QCheckBox>(ControlId::TraverseBox)->isChecked());
    for (int id : kLockedButtons) {
        if (id != ControlId::AddFiles) {
            Control(id)->setEnabled(true);
        }
    }
    progressTimer.stop();
    converting = false;
    progressStep = 0;
    UpdateProgressArea();
    shell.ShowMessage(this, DescribeJobEnd(job.report), Shell::Buttons::Ok);
}

void CQuillmarkDlg::OnTimer() {
    progressStep = progressStep % 3 + 1;
    UpdateProgressArea();
}

void CQuillmarkDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == progressTimer.timerId()) {
        OnTimer();
        return;
    }
    QDialog::timerEvent(event);
}

void CQuillmarkDlg::SetLockedButtonsEnabled(bool enabled) {
    for (int id : kLockedButtons) {
        Control(id)->setEnabled(enabled);
    }
}

void CQuillmarkDlg::UpdateProgressArea() {
    update(ProgressGeometryFor(rect()).area);
}

void CQuillmarkDlg::StopJob() {
    if (!converting) {
        return;
    }
    const unsigned ended = runner.StopAndWait();
    if (ended == WM_PREPARE_DONE) {
        // The preparation finished before it saw the request: its pages wait in
        // the scratch folder that the PDF stage would have removed.
        DeleteFolderTree(job.workFolderPath);
    }
    // An output folder the stopped job wrote nothing into is left to no one.
    std::error_code ignored;
    std::filesystem::remove(job.options.outputFolder, ignored);
    progressTimer.stop();
    converting = false;
    progressStep = 0;
}
