#include "ListPreviews.h"

#include "UiTexts.h"

#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

PreviewPopup::PreviewPopup(QWidget* parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint), picture(new QLabel(this)),
      caption(new QLabel(this)) {
    setFrameShape(QFrame::Box);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(kPreviewSide / 2, kPreviewSide / 4);
    caption->setWordWrap(true);
    caption->setTextFormat(Qt::PlainText);
    caption->setMaximumWidth(kPreviewSide + 64);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(picture);
    layout->addWidget(caption);
}

void PreviewPopup::Show(const QString& shownPath, const std::optional<Preview>& preview,
                        const QPoint& globalPos) {
    path = shownPath;
    QStringList lines{QDir::toNativeSeparators(shownPath)};
    if (!preview) {
        picture->clear();
        picture->setText(UiTexts::PreviewLoading());
    } else if (preview->image.isNull()) {
        picture->clear();
        picture->setText(UiTexts::PreviewFailed().arg(preview->reason));
        picture->setWordWrap(true);
    } else {
        picture->setPixmap(QPixmap::fromImage(preview->image));
        if (!preview->reason.isEmpty()) {
            lines << preview->reason; // shown, but only in part
        }
    }
    caption->setText(lines.join(QLatin1Char('\n')));
    adjustSize();
    move(globalPos + QPoint(16, 16));
    show();
}

QImage PreviewPopup::Image() const {
    return picture->pixmap().toImage();
}

QString PreviewPopup::Text() const {
    return picture->text() + QLatin1Char('\n') + caption->text();
}

ListPreviews::ListPreviews(QTreeWidget* list) : QObject(list), list(list), popup(new PreviewPopup(list)) {
    list->viewport()->installEventFilter(this);
    connect(&maker, &PreviewMaker::previewReady, this, &ListPreviews::OnReady);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, &ListPreviews::Hide);
    connect(list->model(), &QAbstractItemModel::rowsRemoved, this, &ListPreviews::Hide);
}

bool ListPreviews::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTreeWidgetItem* row = list->itemAt(help->pos());
        if (row == nullptr) {
            Hide();
            return true;
        }
        const QString path = row->text(0);
        shownAt = help->globalPos();
        popup->Show(path, maker.Request(path), shownAt);
        return true;
    }
    case QEvent::MouseMove: {
        // Another row under the mouse: this preview no longer belongs to it.
        const QTreeWidgetItem* row = list->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (popup->isVisible() && (row == nullptr || row->text(0) != popup->Path())) {
            Hide();
        }
        break;
    }
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        Hide();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ListPreviews::OnReady(const QString& path, const Preview& preview) {
    if (popup->isVisible() && popup->Path() == path) {
        popup->Show(path, preview, shownAt);
    }
}

void ListPreviews::Hide() {
    popup->hide();
}
