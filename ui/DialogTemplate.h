#pragma once

#include <QRect>
#include <span>

// The controls of a window, in the order that is also the tab order.
enum class ControlKind {
    DefaultButton, // hidden; the Enter key's command
    HiddenButton,  // hidden; the Esc key's command
    Button,
    FlatButton,
    ListView,
    CheckBox,
    RadioButton,
    Edit,
    PasswordEdit,
    ReadOnlyEdit,
    Label,
    GroupBox,
};

struct ControlTemplate {
    int id; // kNoId for labels nobody addresses
    ControlKind kind;
    const char* caption; // UTF-8, the source text of its translation in the "DialogTemplate" context
    QRect units;         // position and size in dialog units
};

inline constexpr int kNoId = -1;

// Identifiers of the controls the window's code addresses.
namespace ControlId {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int AddFiles = 1000;
inline constexpr int SourceList = 1001;
inline constexpr int AddFolder = 1002;
inline constexpr int Start = 1003;
inline constexpr int RemoveFile = 1004;
inline constexpr int ClearList = 1005;
inline constexpr int MoveToTop = 1006;
inline constexpr int MoveUp = 1007;
inline constexpr int MoveDown = 1008;
inline constexpr int MoveToBottom = 1009;
inline constexpr int PasswordBox = 1010;
inline constexpr int Password = 1011;
inline constexpr int ForbidPrint = 1012;
inline constexpr int SaveFolder = 1013;
inline constexpr int ChangeSaveFolder = 1014;
inline constexpr int ViewResult = 1015;
inline constexpr int CustomSizeBox = 1016;
inline constexpr int PageWidth = 1017;
inline constexpr int PageHeight = 1018;
inline constexpr int MergeIntoOne = 1019;
inline constexpr int OnePerPicture = 1020;
inline constexpr int About = 1021;
inline constexpr int FileCount = 1023;
inline constexpr int SettingsGroup = 1026;
inline constexpr int TraverseBox = 1027;
inline constexpr int VisitWebsite = 1028;
inline constexpr int MoreSettings = 1029;
} // namespace ControlId

// A control added to the window beside its template, in the gap between the
// password field and the custom-size box, so that the template's layout stays
// as it is: the encryption of protected documents, chosen from its menu.
inline constexpr int kEncryptionChoiceId = 1100;
inline constexpr QRect kEncryptionChoiceUnits{121, 306, 10, 14};

// The size of the window's client area in dialog units.
inline constexpr int kDialogWidthUnits = 350;
inline constexpr int kDialogHeightUnits = 351;

std::span<const ControlTemplate> MainDialogTemplate();

// The About box: its controls and its client size in dialog units.
namespace AboutControlId {
inline constexpr int Ok = 1;
inline constexpr int VisitWebsite = 1000;
inline constexpr int VisitShop = 1002;
} // namespace AboutControlId

inline constexpr int kAboutWidthUnits = 203;
inline constexpr int kAboutHeightUnits = 138;

std::span<const ControlTemplate> AboutDialogTemplate();
