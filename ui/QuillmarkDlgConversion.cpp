// The window's side of a conversion job: Start, the hand-over between the two
// stages, the progress display and the end of the job.
#include "QuillmarkDlg.h"

#include "Conversion.h"
#include "DialogTemplate.h"
#include "JobSummary.h"
#include "PageSize.h"
#include "PathText.h"
#include "PrepareImages.h"
#include "ProgressIndicator.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QDir>
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
    options.encryption = ChosenEncryption();
    options.listMode =
        Control<QCheckBox>(ControlId::TraverseBox)->isChecked() ? ListMode::Folders : ListMode::Files;
    ApplyPageChoice(pageChoice, options);
}

void CQuillmarkDlg::OnStartConversion() {
    CaptureOptions();
    const auto* list = Control<QTreeWidget>(ControlId::SourceList);
    if (list->topLevelItemCount() == 0) {
        shell.ShowMessage(this, UiTexts::NothingToConvert(), Shell::Buttons::Ok);
        return;
    }
    job.sourceList.clear();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        job.sourceList.push_back(ToPath(list->topLevelItem(row)->text(0)));
    }
    if (!CheckSaveFolder()) {
        return;
    }
    RememberSettings();
    const QString saveFolder = Control<QLineEdit>(ControlId::SaveFolder)->text();
    if (!BeginJob(job, ToPath(saveFolder), std::time(nullptr))) {
        EndJob(job);
        shell.ShowMessage(this, DescribeRefusal(job), Shell::Buttons::Ok);
        return;
    }

    SetLockedButtonsEnabled(false);
    converting = true;
    runningStage = Stage::Prepare;
    progressStep = 0;
    progressTimer.start(kProgressPeriodMs, this);
    if (!runner.Run(PrepareImagesProc)) {
        job.report.Fail(JobRefusal::Failed, "no worker thread could be started");
        OnConvertDone();
    }
}

QString CQuillmarkDlg::DescribeRefusal(const JobState& refused) const {
    // What the user chose, in the window's own words.
    switch (refused.report.refusal) {
    case JobRefusal::PageSize:
        return UiTexts::BadPageSize()
            .arg(kMinPageSide)
            .arg(kMaxPageSide)
            .arg(refused.options.pageWidth)
            .arg(refused.options.pageHeight);
    case JobRefusal::Resolution:
        return UiTexts::BadResolution().arg(kMinDpi).arg(kMaxDpi).arg(refused.options.dpi);
    case JobRefusal::Margin:
        return UiTexts::BadMargin().arg(MarginText(pageChoice));
    case JobRefusal::Unwritable:
        return UiTexts::SaveFolderNotWritable().arg(Control<QLineEdit>(ControlId::SaveFolder)->text());
    default:
        break;
    }
    return UiTexts::CannotBegin().arg(QString::fromStdString(refused.report.jobError));
}

void CQuillmarkDlg::OnStageDone(Stage finished) {
    if (closing) {
        // The window is gone: whatever stage ended, the job ends with it.
        EndJob(job);
        progressTimer.stop();
        converting = false;
        emit jobEnded();
        return;
    }
    if (finished == Stage::Prepare) {
        OnPrepareDone();
    } else {
        OnConvertDone();
    }
}

void CQuillmarkDlg::OnPrepareDone() {
    // A job the preparation refused or that was stopped has nothing to build from.
    if (!JobGoesOn(job)) {
        OnConvertDone();
        return;
    }
    runningStage = Stage::Build;
    if (!runner.Run(BuildPdfsStage)) {
        job.report.Fail(JobRefusal::Failed, "no worker thread could be started");
        OnConvertDone();
    }
}

void CQuillmarkDlg::OnConvertDone() {
    EndJob(job);
    SetLockedButtonsEnabled(true);
    Control(ControlId::AddFiles)->setEnabled(!Control<QCheckBox>(ControlId::TraverseBox)->isChecked());
    progressTimer.stop();
    converting = false;
    progressStep = 0;
    UpdateProgressArea();
    emit jobEnded();
    const QString outputFolder = QDir::toNativeSeparators(FromPath(job.options.outputFolder));
    const JobEndMessage message = DescribeJobEnd(job.report, outputFolder);
    const bool haveDocuments = !job.report.documentsWritten.empty();
    if (shell.ShowReport(this, message.summary, message.place, message.details, haveDocuments) ==
        Shell::Answer::OpenFolder) {
        // Where no file manager answers, the user still needs the path to go
        // there by hand.
        if (!shell.OpenFolder(outputFolder)) {
            shell.ShowMessage(this, UiTexts::CannotOpenFolder().arg(outputFolder), Shell::Buttons::Ok);
        }
    }
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

QString CQuillmarkDlg::ProgressCount() const {
    const StageProgress progress = runner.LastProgress();
    if (progress.total <= 0) {
        return {};
    }
    const QString format =
        runningStage == Stage::Prepare ? UiTexts::PicturesProgress() : UiTexts::DocumentsProgress();
    return format.arg(progress.done).arg(progress.total);
}

void CQuillmarkDlg::SetLockedButtonsEnabled(bool enabled) {
    for (int id : kLockedButtons) {
        Control(id)->setEnabled(enabled);
    }
    // Rows are not dragged around either while a job runs.
    List()->setDragDropMode(enabled ? QAbstractItemView::InternalMove : QAbstractItemView::NoDragDrop);
}

void CQuillmarkDlg::UpdateProgressArea() {
    update(ProgressGeometryFor(rect()).area);
}

void CQuillmarkDlg::StopJobAndWait() {
    if (!converting) {
        return;
    }
    runner.StopAndWait();
    EndJob(job);
    progressTimer.stop();
    converting = false;
    progressStep = 0;
}

void CQuillmarkDlg::CloseDuringJob() {
    // The window goes at once; the stop runs on the job's own thread and its
    // end, which arrives within half a second, ends the job (OnStageDone).
    closing = true;
    job.cancelRequested = true;
    QDialog::done(QDialog::Rejected);
}
