#pragma once

#include "StageRunner.h"

#include <QBasicTimer>
#include <QDialog>
#include <QHash>
#include <QImage>

class Shell;
struct JobState;

// The program's one window: the source list, the commands and the options of a
// conversion, and the progress of the job that runs. Its controls carry the
// numbers of the window's template as object names ("1003" is Start).
//
// A job runs in two stages on worker threads; the window starts the first on
// Start, the second when the first is done, and unlocks itself when the second
// is done. Closing asks first, and stops a running job cleanly.
class CQuillmarkDlg : public QDialog {
    Q_OBJECT
  public:
    // `screenDpi` is the horizontal resolution the default page size is taken from.
    CQuillmarkDlg(Shell& shell, JobState& job, double screenDpi, QWidget* parent = nullptr);
    ~CQuillmarkDlg() override;

    QWidget* Control(int id) const { return controls.value(id); }
    template <typename T> T* Control(int id) const { return qobject_cast<T*>(Control(id)); }

    bool IsConverting() const { return converting; }
    int ProgressStep() const { return progressStep; } // the black square, 1 to 3; 0 before the first step

    // Command handlers, named after what they serve.
    void OnStartConversion();
    void OnPrepareDone();
    void OnConvertDone();
    void OnTimer();
    void OnCancelCommand(); // Esc, the close box, Alt+F4
    void OnOkCommand();     // Enter outside a push button
    void OnCustomSizeBox();
    void OnPasswordBox();
    void OnTraverseBox();
    void OnAbout();

    // A second start of the program asks this copy to come forward.
    void BringToFront();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void reject() override;

  private:
    void CreateControls();
    void SetDefaults(double screenDpi);
    void ConnectHandlers();
    void CaptureOptions();
    void SetLockedButtonsEnabled(bool enabled);
    void OnStageDone(unsigned notification);
    void StopJob();
    void UpdateProgressArea();

    Shell& shell;
    JobState& job;
    QHash<int, QWidget*> controls;
    QImage logo;
    int fileCount = 0;
    int progressStep = 0;
    QBasicTimer progressTimer;
    bool converting = false;
    StageRunner runner;
};
