#include "wizard/Previewer.h"

#include "app/UtilFuncs.h"
#include "widgets/BitmapImage.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <vector>

namespace mw {

namespace {

constexpr int FrameWidth = 1;
const QColor FrameColor(0x3c, 0x3f, 0x45);
const QColor StripColor(0x26, 0x29, 0x2e);
const QColor CaptionColor(0xe8, 0xea, 0xed);

QScreen* ScreenOf(const QWidget* widget) {
    QScreen* screen = widget ? widget->screen() : nullptr;
    return screen ? screen : QGuiApplication::primaryScreen();
}

// Top left of a window of that size moved into the screen as far as it fits.
QPoint OntoScreen(const QRect& screen, const QSize& size, QPoint at) {
    return {std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())),
            std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()))};
}

} // namespace

QSize PreviewPictureSize(const QRect& screen, const QSize& imageSize) {
    // A third of the screen at most: the preview is a glance at the run, not a player.
    const QSize room(std::max(64, screen.width() / 3 - 2 * FrameWidth),
                     std::max(48, screen.height() / 3 - PreviewStripHeight - 2 * FrameWidth));
    if (imageSize.width() <= room.width() && imageSize.height() <= room.height()) return imageSize;
    return imageSize.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QPoint PreviewPosition(const QRect& screen, const QSize& size, const QRect& anchor,
                       std::optional<QPoint> last) {
    const QPoint centred = screen.center() - QPoint(size.width() / 2, size.height() / 2);
    if (anchor.isEmpty()) return last ? OntoScreen(screen, size, *last) : centred;
    // The anchor's lower part holds the commands and the Preview box: the preview stays off it
    // where the screen has room, or the user could not reach them while it is up.
    const int keep = std::min(anchor.height(), 96);
    const QRect commands(anchor.left(), anchor.bottom() + 1 - keep, anchor.width(), keep);
    const int gap = 8;
    const int middle = anchor.center().x() - size.width() / 2;
    // Beside the anchor first (top edges level, where the page begins), then below and above it,
    // then the screen's corners.
    const QPoint beside[] = {{anchor.right() + 1 + gap, anchor.top()},
                             {anchor.left() - gap - size.width(), anchor.top()},
                             {middle, anchor.bottom() + 1 + gap},
                             {middle, anchor.top() - gap - size.height()}};
    const QPoint corners[] = {{screen.right() + 1 - size.width(), screen.top()},
                              screen.topLeft(),
                              {screen.right() + 1 - size.width(), screen.bottom() + 1 - size.height()},
                              {screen.left(), screen.bottom() + 1 - size.height()}};
    const auto covers = [&](const QPoint& at, const QRect& area) {
        return QRect(OntoScreen(screen, size, at), size).intersects(area);
    };
    if (last && !covers(*last, commands)) return OntoScreen(screen, size, *last);
    for (const QPoint& at : beside)
        if (!covers(at, anchor)) return OntoScreen(screen, size, at);
    // No free side: pulled onto the screen beside the anchor it may overlap the anchor's upper
    // part, never its commands.
    for (const QPoint& at : beside)
        if (!covers(at, commands)) return OntoScreen(screen, size, at);
    for (const QPoint& at : corners)
        if (!covers(at, commands)) return OntoScreen(screen, size, at);
    return OntoScreen(screen, size, corners[0]);
}

TPreviewWindow::TPreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("FormPreview");
    // Pictures arrive while the user works in the main window: showing must not take the focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::ClickFocus);
    ButtonClose = new QToolButton(this);
    ButtonClose->setObjectName("ButtonClose");
    ButtonClose->setText(QString::fromUtf8("\u2715"));
    ButtonClose->setToolTip("Close the preview (Esc)");
    ButtonClose->setCursor(Qt::ArrowCursor);
    ButtonClose->setFocusPolicy(Qt::NoFocus);
    ButtonClose->setAutoRaise(true);
    ButtonClose->setFixedSize(PreviewStripHeight - 2, PreviewStripHeight - 2);
    ButtonClose->setStyleSheet("QToolButton { color: #c8ccd2; border: none; font-size: 14px; }"
                               "QToolButton:hover { color: white; background: #c42b1c; }");
    connect(ButtonClose, &QToolButton::clicked, this, &QWidget::close);
    setCursor(Qt::SizeAllCursor);
}

QRect TPreviewWindow::PictureRect() const {
    return QRect(QPoint(FrameWidth, FrameWidth + PreviewStripHeight), FPictureSize);
}

void TPreviewWindow::SetPicture(const QImage& image, const QString& caption) {
    FImage = image;
    FCaption = caption;
    setWindowTitle(caption);
    const QRect screen = ScreenOf(this)->availableGeometry();
    const QSize pictureSize = PreviewPictureSize(screen, image.size());
    if (pictureSize != FPictureSize) {
        FPictureSize = pictureSize;
        setFixedSize(pictureSize.width() + 2 * FrameWidth,
                     pictureSize.height() + PreviewStripHeight + 2 * FrameWidth);
        ButtonClose->move(width() - FrameWidth - ButtonClose->width() - 1, FrameWidth + 1);
        // A larger picture must not push the close mark off the screen.
        if (isVisible()) move(OntoScreen(screen, size(), pos()));
    }
    update();
}

void TPreviewWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), FrameColor);
    const QRect strip(FrameWidth, FrameWidth, width() - 2 * FrameWidth, PreviewStripHeight);
    p.fillRect(strip, StripColor);
    p.setPen(CaptionColor);
    p.drawText(strip.adjusted(8, 0, -ButtonClose->width() - 4, 0), Qt::AlignVCenter | Qt::AlignLeft,
               FCaption);
    const QRect target = PictureRect();
    if (FImage.isNull()) {
        p.fillRect(target, Qt::black);
        return;
    }
    if (FImage.size() == target.size()) {
        p.drawImage(target.topLeft(), FImage);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, FImage);
    }
}

void TPreviewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    // Shown without taking the focus: a press gives it, so that Esc reaches the window.
    activateWindow();
    setFocus(Qt::MouseFocusReason);
    // A press anywhere moves the window, as a press on a title bar would; the window system does
    // it where it can, else the window follows the mouse itself.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    FDragging = true;
    FDragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TPreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    if (FDragging) move(event->globalPosition().toPoint() - FDragOffset);
}

void TPreviewWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) FDragging = false;
}

void TPreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void TPreviewWindow::closeEvent(QCloseEvent* event) {
    FClosedByUser = true;
    event->accept();
}

TPreviewer::TPreviewer(QWidget* anchor, TPreviewPlace place) : FAnchor(anchor), FPlace(std::move(place)) {}

TPreviewer::~TPreviewer() {
    if (FWindow && FPlace) *FPlace = FWindow->pos();
    delete FWindow.data();
}

void TPreviewer::Place() {
    // One preview on screen at a time: the window of an earlier task gives up its place.
    if (FAnchor) {
        for (TPreviewWindow* other : FAnchor->findChildren<TPreviewWindow*>(Qt::FindDirectChildrenOnly))
            if (other != FWindow && other->isVisible()) {
                FWindow->move(other->pos() + QPoint((other->width() - FWindow->width()) / 2,
                                                    (other->height() - FWindow->height()) / 2));
                other->hide();
                return;
            }
    }
    FWindow->move(PreviewPosition(ScreenOf(FAnchor)->availableGeometry(), FWindow->size(),
                                  FAnchor && FAnchor->isVisible() ? FAnchor->frameGeometry() : QRect(),
                                  FPlace && *FPlace ? **FPlace : std::optional<QPoint>()));
}

void TPreviewer::ShowPicture(const TBitmap& bitmap, int32_t frameNumber, int64_t pts) {
    if (!IsOpen()) return;
    FFrameNumber = frameNumber;
    FPictureTime = pts;
    const QImage image = BitmapToImage(bitmap);
    const QString caption = QString::fromStdString(FormatPictureTime(pts));
    if (FWindow) {
        FWindow->SetPicture(image, caption);
        return;
    }
    FWindow = new TPreviewWindow(FAnchor);
    FMade = true;
    FWindow->SetPicture(image, caption);
    Place();
    FWindow->show();
}

bool TPreviewer::IsOpen() const {
    // A window gone with its anchor counts as closed too.
    if (!FWindow) return !FMade;
    return !FWindow->ClosedByUser();
}

} // namespace mw
