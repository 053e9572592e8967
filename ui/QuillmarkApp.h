#pragma once

// The program: one copy per user, whose only window is the main dialog. A second
// start brings the running copy forward and ends without a window.
class CQuillmarkApp {
  public:
    CQuillmarkApp(int& argc, char** argv);

    // Runs the program to its end and returns the exit code.
    int InitInstance();

  private:
    int& argc;
    char** argv;
};
