#pragma once

#include <cstdint>
#include <optional>
#include <string>

class DocumentBuilder;

// How a protected document is encrypted: RC4 with a 128-bit key (revision 3),
// which every reader opens, or AES with a 256-bit key (revision 6), which
// resists attack but needs a reader from 2008 or later.
enum class Encryption : int32_t {
    Rc4 = 0,
    Aes256 = 1,
};

// The permissions (owner) password of every protected document.
inline constexpr const char* kPermissionsPassword = "kelpo";

// Who may open a document and what it allows, decided once per document from
// the options as they stand when it is begun.
struct DocumentProtection {
    Encryption method = Encryption::Rc4;
    std::string userPassword;  // UTF-8; empty: the document opens without a password
    std::string ownerPassword; // the permissions password, never equal to the user's
    bool forbidAll = false;    // printing, changing and copying refused
};

// Empty when the document is not protected (neither a password nor the print
// restriction is on). Fails, with `error` set, when the password cannot be
// written as UTF-8. Both encryptions see the password up to its first NUL
// character, as the PDF libraries take it.
std::optional<DocumentProtection> ProtectionFor(bool usePassword, const std::u16string& password, bool forbidPrint,
                                               Encryption method, std::string& error);

// RC4 with a 128-bit key (revision 3): libharu encrypts while it writes.
bool ApplyRc4(DocumentBuilder& doc, const DocumentProtection& protection);
