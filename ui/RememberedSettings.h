#pragma once

#include "PageChoice.h"

#include <QString>

class QSettings;

// What the window keeps from one run to the next: the save folder, the list
// and output modes, forbid-print, the page size and the page settings, and
// where the pickers were last. Never the password. An empty field means "nothing remembered": the
// window's own default holds.
struct RememberedSettings {
    QString saveFolder;
    bool listFolders = false; // the traverse box
    bool mergeIntoOne = true;
    bool forbidPrint = false;
    bool aes256 = false; // protected documents encrypted with AES-256 rather than RC4
    bool customSize = false;
    QString pageWidth; // as typed; empty when it is the screen's default
    QString pageHeight;
    QString filesFolder;  // where the file picker was last
    QString sourceFolder; // the folder last added
    PageChoice page;      // each setting that cannot be read keeps its default

    bool operator==(const RememberedSettings&) const = default;
};

// Missing or unreadable entries read as the defaults above.
RememberedSettings LoadRememberedSettings(QSettings& settings);
void SaveRememberedSettings(QSettings& settings, const RememberedSettings& remembered);
