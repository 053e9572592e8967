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

std::optional<DocumentProtection> ProtectionFor(const ConvertOptions& options, std::string& error) {
    const bool usePassword = options.usePassword.load() == 1;
    const bool forbidPrint = options.forbidPrint == 1;
    if (!usePassword && !forbidPrint) {
        return std::nullopt;
    }
    DocumentProtection protection;
    protection.method = options.encryption;
    protection.forbidAll = forbidPrint;
    if (usePassword) {
        std::optional<std::string> password = ToUtf8(options.password);
        if (!password) {
            error = kPasswordNotConvertible;
            return std::nullopt;
        }
        protection.userPassword = password->substr(0, password->find('\0'));
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
