#pragma once

#include "ConvertOptions.h"
#include "DialogUnits.h"
#include "PageChoice.h"
#include "StageRunner.h"

#include <QBasicTimer>
#include <QDialog>
#include <QHash>
#include <QImage>
#include <QList>
#include <QUrl>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class ListedPaths;
class ListPreviews;
class QMenu;
class QActionGroup;
class QSettings;
class QTreeWidget;
class QTreeWidgetItem;
class Shell;
struct JobState;

// The program's one window: the source list, the commands and the options of a
// conversion, and the progress of the job that runs. Its controls carry the
// numbers of the window's template as object names ("1003" is Start).
//
// The list holds pictures, or folders while the traverse box is ticked; it is
// filled by the file picker, by scanning a folder and by dropping files on any
// part of the window, and ordered and pruned by the six buttons beside it, by
// dragging rows, and by its context menu (sorting, removing every selected row).
//
// Start runs the whole job, its beginning and its end included, on a worker
// thread; the window hears of its stages' ends and of the job's end, and then
// unlocks itself. Closing asks first; during a job the window goes at once and
// the job stops and ends off the UI thread (jobEnded tells when).
//
// Given settings, the window starts with the choices remembered there and
// keeps the new ones there when a job starts and when it closes; without, it
// starts with its defaults and remembers nothing.
class CQuillmarkDlg : public QDialog {
    Q_OBJECT
  public:
    // `screenDpi` is the horizontal resolution the default page size is taken from.
    CQuillmarkDlg(Shell& shell, JobState& job, double screenDpi, QSettings* settings = nullptr,
                  QWidget* parent = nullptr);
    ~CQuillmarkDlg() override;

    QWidget* Control(int id) const { return controls.value(id); }
    // Hovering a row of the list shows its picture.
    ListPreviews& Previews() const { return *previews; }
    template <typename T> T* Control(int id) const { return qobject_cast<T*>(Control(id)); }

    // What Start runs on the job's thread: RunJob unless replaced, as tests
    // replace it to watch a job from inside.
    using JobProcedure = std::function<bool(JobState&, const std::filesystem::path& saveFolder,
                                            std::time_t startTime, const StageObserver&)>;
    void SetJobProcedure(JobProcedure procedure) { jobProcedure = std::move(procedure); }

    // True from Start until the job has ended, also after the window closed
    // during a job and until that job has stopped.
    bool IsConverting() const { return converting; }
    int ProgressStep() const { return progressStep; } // the black square, 1 to 3; 0 before the first step
    // The count beside the squares ("12 / 300" pictures, then "PDF 0 / 1");
    // empty before the job's first report.
    QString ProgressCount() const;

    // Command handlers, named after what they serve.
    void OnStartConversion();
    void OnPrepareDone(); // the count beside the squares turns to documents
    void OnConvertDone(); // the job has ended: unlock, and say how it went
    void OnTimer();
    void OnCancelCommand(); // Esc, the close box, Alt+F4
    void OnOkCommand();     // Enter outside a push button
    void OnCustomSizeBox();
    void OnPageSettings(); // the "更多…" button: paper, orientation, margin, fit, folder order
    void OnPasswordBox();
    void OnTraverseBox();
    void OnAbout();
    void OnVisitWebsite();

    // Adding sources. None of them says anything: what is no picture, and what
    // is listed already, is skipped.
    void OnAddFiles();
    void OnAddFolder();
    void OnDropFiles(const QList<QUrl>& dropped); // ignored while the traverse box is ticked
    // Pictures named on the command line or handed over by a second start:
    // taken as a drop of those files, but listed in the order given.
    void OpenFiles(const QStringList& paths);
    // The files the program was started with. The user asked for these
    // pictures, so a window remembered in folder mode opens in picture mode.
    void StartWithFiles(const QStringList& paths);

    // Editing the list; each acts on the first selected row, clearing on all.
    void OnRemoveFile();
    void OnClearList();
    void OnMoveToTop();
    void OnMoveUp();
    void OnMoveDown();
    void OnMoveToBottom();

    // The list's context menu and the Delete key: every selected row goes,
    // after one question; the list is sorted as a whole. Not during a job.
    enum class ListSort { NameAscending, NameDescending, OldestFirst, NewestFirst };
    void OnRemoveSelected();
    void OnSortList(ListSort sort);
    std::unique_ptr<QMenu> MakeListMenu();

    const PageChoice& CurrentPageChoice() const { return pageChoice; }

    void OnChangeSaveFolder();
    void OnViewResult();

    // True when a row's text is exactly `path` (case and separators count).
    bool IsListed(const QString& path) const;
    // A new row at the top, neither selected nor focused; the others keep theirs.
    void InsertAtTop(const QString& path);
    // Sets fileCount to the number of rows and shows it beside "文件数：".
    void RefreshFileCount();
    int FileCount() const { return fileCount; }

    // A second start of the program asks this copy to come forward.
    void BringToFront();
    // ...and hands over the files it was started with.
    void OnHandOver(const QStringList& files);

    // How protected documents are encrypted: RC4 (the default) or AES-256,
    // chosen from the menu beside the password.
    Encryption ChosenEncryption() const;
    void ChooseEncryption(Encryption encryption);

  signals:
    // A job has ended: its scratch folder is gone and the report is final.
    void jobEnded();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void reject() override;

  private:
    void CreateControls();
    void CreateEncryptionChoice(const DialogBaseUnits& base);
    void SetDefaults(double screenDpi);
    void ApplyRememberedSettings();
    void RememberSettings();
    bool CheckSaveFolder();
    void ConnectHandlers();
    void CaptureOptions();
    void SetLockedButtonsEnabled(bool enabled);
    void OnStageDone(Stage finished);
    void OnJobDone(bool began);
    void UnlockAfterJob();
    QString DescribeRefusal(const JobState& refused) const;
    void CloseDuringJob();
    void StopJobAndWait();
    void UpdateProgressArea();
    QTreeWidget* List() const;
    QTreeWidgetItem* NewListRow(const QString& path) const;
    void ShowFolderError(const std::string& why);
    void ShowPageChoice();
    void ShowPageSizeFields();
    // The custom size as the user typed it, also while a paper size fills the fields.
    QString TypedPageWidth() const;
    QString TypedPageHeight() const;
    void OnListMenu(const QPoint& where);
    int FirstSelectedRow() const;
    enum class Move { ToTop, Up, Down, ToBottom };
    void MoveFirstSelected(Move move);

    Shell& shell;
    JobState& job;
    QSettings* settings;
    QSize defaultPage;
    QString filesFolder;  // where the file picker was last
    QString sourceFolder; // the folder last added
    QHash<int, QWidget*> controls;
    ListedPaths* listed = nullptr;
    ListPreviews* previews = nullptr;
    QActionGroup* encryptionChoice = nullptr;
    QImage logo;
    PageChoice pageChoice;
    bool fieldsShowPaper = false; // the size fields show the chosen paper's pixels
    QString typedWidth;           // the custom size kept aside meanwhile
    QString typedHeight;
    int fileCount = 0;
    int progressStep = 0;
    QBasicTimer progressTimer;
    bool converting = false;
    bool closing = false; // the window was closed during a job that is stopping
    JobProcedure jobProcedure;
    StageRunner runner;
};
