#include "PdfProtection.h"

#include "PdfDocument.h"
#include "Utf8.h"


namespace {

// Stands in for kPermissionsPassword when the user's open password is that very
// word: the libraries refuse (or confuse) two equal passwords, and the document
// must still be protected, and still open with the password the user chose.
constexpr const char* kAlternatePermissionsPassword = "kelpo-quillmark";

constexpr const char* kPasswordNotConvertible =
    "the password holds an unpaired UTF-16 surrogate and cannot be used";

} // namespace

std::optional<DocumentProtection> ProtectionFor(bool usePassword, const std::u16string& password, bool forbidPrint,
                                               Encryption method, std::string& error) {
    if (!usePassword && !forbidPrint) {
        return std::nullopt;
    }
    DocumentProtection protection;
    protection.method = method;
    protection.forbidAll = forbidPrint;
    if (usePassword) {
        std::optional<std::string> utf8 = ToUtf8(password);
        if (!utf8) {
            error = kPasswordNotConvertible;
            return std::nullopt;
        }
        protection.userPassword = utf8->substr(0, utf8->find('\0'));
    }
    protection.ownerPassword = protection.userPassword == kPermissionsPassword ? kAlternatePermissionsPassword
                                                                               : kPermissionsPassword;
    return protection;
}

bool ApplyRc4(DocumentBuilder& doc, const DocumentProtection& protection) {
    HPDF_Doc pdf = doc.pdf();
    const std::string step = protection.userPassword.empty() ? "setting the permissions password"
                                                             : "setting the open password";
    if (!doc.Succeeded(HPDF_SetPassword(pdf, protection.ownerPassword.c_str(), protection.userPassword.c_str()),
                       step)) {
        return false;
    }
    if (protection.forbidAll && !doc.Succeeded(HPDF_SetPermission(pdf, HPDF_ENABLE_READ), "setting the permissions")) {
        return false;
    }
    return doc.Succeeded(HPDF_SetEncryptionMode(pdf, HPDF_ENCRYPT_R3, 16), "choosing the encryption");
}
