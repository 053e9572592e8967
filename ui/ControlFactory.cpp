#include "ControlFactory.h"

#include "CompactIndicatorStyle.h"
#include "TransParentButton.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

QWidget* CreateWidget(ControlKind kind, const QString& caption, QWidget* parent) {
    switch (kind) {
    case ControlKind::DefaultButton:
    case ControlKind::HiddenButton: {
        auto* button = new QPushButton(caption, parent);
        button->setDefault(kind == ControlKind::DefaultButton);
        button->hide();
        return button;
    }
    case ControlKind::Button:
        return new QPushButton(caption, parent);
    case ControlKind::FlatButton:
        return new CTransParentButton(caption, parent);
    case ControlKind::ListView: {
        auto* list = new QTreeWidget(parent);
        list->setColumnCount(1);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->header()->setStretchLastSection(true);
        return list;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(caption, parent);
        box->setStyle(CompactIndicatorStyle::Instance());
        return box;
    }
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(caption, parent);
        radio->setStyle(CompactIndicatorStyle::Instance());
        return radio;
    }
    case ControlKind::Edit:
    case ControlKind::PasswordEdit:
    case ControlKind::ReadOnlyEdit: {
        auto* edit = new QLineEdit(parent);
        edit->setEchoMode(kind == ControlKind::PasswordEdit ? QLineEdit::Password : QLineEdit::Normal);
        edit->setReadOnly(kind == ControlKind::ReadOnlyEdit);
        return edit;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(caption, parent);
    }
    return nullptr;
}

} // namespace

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) {
    const QString caption =
        *control.caption ? QCoreApplication::translate("DialogTemplate", control.caption) : QString();
    QWidget* widget = CreateWidget(control.kind, caption, parent);
    if (control.id != kNoId) {
        widget->setObjectName(QString::number(control.id));
        widget->setProperty("controlId", control.id);
    }
    return widget;
}
