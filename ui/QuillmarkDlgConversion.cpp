// The window's side of a conversion job: Start, the news of the job's stages,
// the progress display and the end of the job.
#include "QuillmarkDlg.h"

#include "Conversion.h"
#include "DialogTemplate.h"
#include "JobSummary.h"
#include "PageSize.h"
#include "PathText.h"
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
    // Refused before anything is made, as the engine would refuse it.
    if (job.options.pdfa != PdfA::None &&
        (job.options.usePassword.load() == 1 || job.options.forbidPrint == 1)) {
        shell.ShowMessage(this, UiTexts::PdfANoEncryption(), Shell::Buttons::Ok);
        return;
    }
    if (!CheckSaveFolder()) {
        return;
    }
    RememberSettings();
    const std::filesystem::path saveFolder = ToPath(Control<QLineEdit>(ControlId::SaveFolder)->text());
    const std::time_t startTime = std::time(nullptr);

    SetLockedButtonsEnabled(false);
    converting = true;
    progressStep = 0;
    progressTimer.start(kProgressPeriodMs, this);
    // Beginning a job clears away dead jobs' folders and ending one deletes
    // pages, both of which can take long on a slow disk: the whole job runs
    // on its own thread, and a refusal comes back as the job's end.
    const bool started = runner.Run(
        [procedure = jobProcedure, saveFolder, startTime](JobState& running, const StageObserver& observer) {
            try {
                return procedure(running, saveFolder, startTime, observer);
            } catch (const std::exception& error) {
                // Whatever escaped still ends the job and reaches the user.
                running.report.Fail(JobRefusal::Failed, error.what());
                EndJob(running);
                return true;
            }
        });
    if (!started) {
        job.report = JobReport{};
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
    if (finished == Stage::Prepare && !closing) {
        OnPrepareDone();
    }
}

void CQuillmarkDlg::OnPrepareDone() {
    // The job's thread has already turned its count to documents; show it.
    UpdateProgressArea();
}

void CQuillmarkDlg::OnJobDone(bool began) {
    if (closing) {
        // The window is gone, and the job has ended on its own thread.
        progressTimer.stop();
        converting = false;
        emit jobEnded();
        return;
    }
    if (!began) {
        UnlockAfterJob();
        shell.ShowMessage(this, DescribeRefusal(job), Shell::Buttons::Ok);
        return;
    }
    OnConvertDone();
}

void CQuillmarkDlg::UnlockAfterJob() {
    SetLockedButtonsEnabled(true);
    Control(ControlId::AddFiles)->setEnabled(!Control<QCheckBox>(ControlId::TraverseBox)->isChecked());
    progressTimer.stop();
    converting = false;
    progressStep = 0;
    UpdateProgressArea();
    emit jobEnded();
}

void CQuillmarkDlg::OnConvertDone() {
    UnlockAfterJob();
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
        progress.stage == Stage::Prepare ? UiTexts::PicturesProgress() : UiTexts::DocumentsProgress();
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
    // The job ends on its own thread before the wait is over.
    runner.StopAndWait();
    progressTimer.stop();
    converting = false;
    progressStep = 0;
}

void CQuillmarkDlg::CloseDuringJob() {
    // The window goes at once; the job stops and ends on its own thread, and
    // its end arrives within half a second (OnJobDone).
    closing = true;
    job.cancelRequested = true;
    QDialog::done(QDialog::Rejected);
}
