#include "TransParentButton.h"

#include "Painting.h"

#include <QMouseEvent>
#include <QPainter>

CTransParentButton::CTransParentButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setFlat(true);
    // Hover states need enter and leave events; the window beneath shows through
    // because the button never fills its background.
    setAttribute(Qt::WA_Hover);
}

void CTransParentButton::SetState(ButtonState state) {
    if (buttonState != state) {
        buttonState = state;
        update();
    }
}

void CTransParentButton::enterEvent(QEnterEvent* event) {
    if (isEnabled()) {
        SetState(ButtonState::Hover);
    }
    QPushButton::enterEvent(event);
}

void CTransParentButton::leaveEvent(QEvent* event) {
    if (isEnabled()) {
        SetState(ButtonState::Normal);
    }
    QPushButton::leaveEvent(event);
}

void CTransParentButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        SetState(ButtonState::Pressed);
    }
    QPushButton::mousePressEvent(event);
}

void CTransParentButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The hover look stays after a click until the mouse leaves the button.
        SetState(ButtonState::Released);
    }
    QPushButton::mouseReleaseEvent(event);
}

void CTransParentButton::mouseMoveEvent(QMouseEvent* event) {
    // While the left button is held the pressed look stays, wherever the mouse goes.
    if (event->buttons() & Qt::LeftButton) {
        event->accept();
        return;
    }
    QPushButton::mouseMoveEvent(event);
}

void CTransParentButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        SetState(ButtonState::Normal);
    }
    QPushButton::changeEvent(event);
}

void CTransParentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    const QPalette& colours = palette();
    const QColor light = colours.color(QPalette::Active, QPalette::Light);
    const QColor shadow = colours.color(QPalette::Active, QPalette::Dark);

    if (!isEnabled()) {
        DrawEmbossedText(painter, area, text(), light, shadow);
        return;
    }
    QPoint shift;
    QColor captionColour = colours.color(QPalette::Active, QPalette::WindowText);
    switch (buttonState) {
    case ButtonState::Hover:
    case ButtonState::Released:
        DrawFrame3d(painter, area, light, shadow);
        captionColour = colours.color(QPalette::Active, QPalette::Highlight);
        break;
    case ButtonState::Pressed:
        DrawFrame3d(painter, area, shadow, light);
        shift = QPoint(1, 1);
        break;
    case ButtonState::Normal:
        break;
    }
    painter.setPen(captionColour);
    painter.drawText(area.translated(shift), Qt::AlignCenter, text());
}
