#pragma once

#include "PreviewMaker.h"

#include <QFrame>
#include <QObject>

class QLabel;
class QTreeWidget;

// The small window that shows a preview beside the mouse: the picture (or
// the reason it has none) above the picture's whole path.
class PreviewPopup : public QFrame {
    Q_OBJECT
  public:
    explicit PreviewPopup(QWidget* parent = nullptr);

    // `preview` empty: the preview is still being made.
    void Show(const QString& path, const std::optional<Preview>& preview, const QPoint& globalPos);

    QString Path() const { return path; }
    QImage Image() const;
    QString Text() const;

  private:
    QString path;
    QLabel* picture;
    QLabel* caption;
};

// Shows the preview of the row the mouse rests on in the source list. The
// previews are made off the UI thread, so hovering and scrolling a list of
// any length stay smooth; leaving the row, scrolling or clicking hides it.
class ListPreviews : public QObject {
    Q_OBJECT
  public:
    explicit ListPreviews(QTreeWidget* list);

    PreviewMaker& Maker() { return maker; }
    PreviewPopup& Popup() { return *popup; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnReady(const QString& path, const Preview& preview);
    void Hide();

    QTreeWidget* list;
    PreviewMaker maker;
    PreviewPopup* popup;
    QPoint shownAt;
};
