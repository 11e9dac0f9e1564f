#include "wizard/Pages.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>

namespace mw {

TModePage::TModePage(QWidget* parent, const QImage& downloadPicture, const QImage& convertPicture)
    : QWidget(parent) {
    setObjectName("TabSheetMode");
    RadioButtonDownloadVideo = new QRadioButton("Download video from YouTube", this);
    RadioButtonConvertVideo = new QRadioButton("Convert audio/video (previously downloaded) from file", this);
    RadioButtonDownloadVideo->setObjectName("RadioButtonDownloadVideo");
    RadioButtonConvertVideo->setObjectName("RadioButtonConvertVideo");
    RadioButtonDownloadVideo->setChecked(true);
    FImageDownloadVideo = new QLabel(this);
    FImageConvertVideo = new QLabel(this);
    struct TChoice {
        QLabel* Image;
        const QImage& Picture;
        QRadioButton* Radio;
        int Top;
    };
    for (const TChoice& c : {TChoice{FImageDownloadVideo, downloadPicture, RadioButtonDownloadVideo, 40},
                             TChoice{FImageConvertVideo, convertPicture, RadioButtonConvertVideo, 200}}) {
        // A picture for a high-density screen paints at its size in window pixels.
        const QSize size = c.Picture.deviceIndependentSize().toSize();
        c.Image->setPixmap(QPixmap::fromImage(c.Picture));
        c.Image->setGeometry(30, c.Top, std::max(size.width(), 1), std::max(size.height(), 1));
        c.Image->setCursor(Qt::PointingHandCursor);
        c.Image->setAccessibleName(c.Radio->text());
        c.Image->installEventFilter(this);
        QFont f = c.Radio->font();
        f.setPointSizeF(f.pointSizeF() * 1.1);
        c.Radio->setFont(f);
        c.Radio->adjustSize();
        c.Radio->move(50 + size.width(), c.Top + (size.height() - c.Radio->height()) / 2);
    }
}

bool TModePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        QRadioButton* radio = watched == FImageDownloadVideo  ? RadioButtonDownloadVideo
                              : watched == FImageConvertVideo ? RadioButtonConvertVideo
                                                              : nullptr;
        if (radio) {
            radio->setChecked(true);
            radio->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mw
