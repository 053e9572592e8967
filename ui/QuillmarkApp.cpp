#include "QuillmarkApp.h"

#include "CommandLineFiles.h"
#include "InstanceGuard.h"
#include "JobState.h"
#include "QtShell.h"
#include "QuillmarkDlg.h"
#include "Translation.h"
#include "UiTexts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <cstdio>

namespace {

// Qt aborts with a terse line when it finds no display; say what to use instead.
bool DisplayReachable() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return true; // the caller chose a platform, e.g. offscreen
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QFile::decodeName(argv[i]);
    }
    return arguments;
}

} // namespace

CQuillmarkApp::CQuillmarkApp(int& argc, char** argv) : argc(argc), argv(argv) {}

int CQuillmarkApp::InitInstance() {
    const QStringList files = FilesFromArguments(Arguments(argc, argv), QDir::currentPath());
    // The lock comes before the application object, so a second start hands
    // over and ends without touching the display.
    InstanceGuard guard(InstanceGuard::DefaultKey());
    const bool first = guard.TryBecomeFirst();
    if (!first) {
        if (guard.HandOver(files) || files.isEmpty()) {
            return 0;
        }
        std::fprintf(stderr, "%s\n", qPrintable(UiTexts::kHandOverUnanswered));
    }
    if (!DisplayReachable()) {
        std::fprintf(stderr, "%s\n", qPrintable(UiTexts::kNoDisplay));
        return 2;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(UiTexts::kAppName);
    QApplication::setDesktopFileName(QStringLiteral("io.github.quillmark.Quillmark"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    InstallTranslation(ChooseUiLanguage(QLocale::system().uiLanguages()));
    if (first) {
        guard.Listen();
    }

    QtShell shell;
    // ~/.config/quillmark/quillmark.conf on Linux.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("quillmark"),
                       QStringLiteral("quillmark"));
    CQuillmarkDlg dialog(shell, SharedJobState(), QApplication::primaryScreen()->logicalDotsPerInchX(),
                         &settings);
    QObject::connect(&guard, &InstanceGuard::activationRequested, &dialog, &CQuillmarkDlg::OnHandOver);
    dialog.StartWithFiles(files);
    dialog.exec();
    if (dialog.IsConverting()) {
        // Closed during a job: the window is gone, and the job stops on its
        // own thread; the program ends as soon as it has.
        QObject::connect(&dialog, &CQuillmarkDlg::jobEnded, &application, &QCoreApplication::quit);
        application.exec();
    }
    return 0;
}
