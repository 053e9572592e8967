#pragma once

// The program: one copy per user, whose only window is the main dialog. A second
// start brings the running copy forward and ends without a window; when it was
// started with files that the running copy does not take (it is busy or hung),
// it opens a window of its own with them instead, so they are not lost.
class CQuillmarkApp {
  public:
    CQuillmarkApp(int& argc, char** argv);

    // Runs the program to its end and returns the exit code.
    int InitInstance();

  private:
    int& argc;
    char** argv;
};
