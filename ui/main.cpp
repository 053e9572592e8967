#include "QuillmarkApp.h"

int main(int argc, char** argv) {
    CQuillmarkApp app(argc, argv);
    return app.InitInstance();
}
