#pragma once

#include <QPushButton>

// A flat, caption-only push button that shows the window's painting behind it.
// A thin raised frame and the highlight colour appear while the mouse is over
// it, a sunken frame with the caption one pixel lower right while it is held
// down; disabled, it shows an embossed caption and no frame. It never draws a
// focus frame, and the keyboard does not give it a pressed look.
class CTransParentButton : public QPushButton {
    Q_OBJECT
  public:
    enum class ButtonState { Hover = 0, Normal = 1, Released = 2, Pressed = 3 };

    explicit CTransParentButton(const QString& caption, QWidget* parent = nullptr);

    ButtonState State() const { return buttonState; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void SetState(ButtonState state);

    ButtonState buttonState = ButtonState::Normal;
};
