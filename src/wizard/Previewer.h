// The preview window of one encoder task: a small frameless tool window of the main window (it
// minimises with it and stays above it, not above other programs) showing the task's latest
// picture, with the picture's time in a title strip and a close button.
//
// Threading contract: GUI thread only. The encoder runs a worker's ShowPicture on the GUI thread
// (CallAndWait) and frees the previewer there (Preview switched off, task freed).
#pragma once

#include "engine/tasks/FFEncode.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QToolButton;

namespace mw {

class TPreviewWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TPreviewWindow(QWidget* parent);

    // A picture of another size than the one before resizes the window, keeping its top left.
    void SetPicture(const QImage& image, const QString& caption);
    const QImage& Picture() const { return FImage; }
    QString Caption() const { return FCaption; }
    // Where the picture is drawn (window coordinates).
    QRect PictureRect() const;
    // Set by a close request (the close button, Esc, the window manager); hiding it is not one.
    bool ClosedByUser() const { return FClosedByUser; }

    QToolButton* ButtonClose;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QImage FImage;
    QString FCaption;
    QSize FPictureSize;
    bool FClosedByUser = false;
    bool FDragging = false;
    QPoint FDragOffset;
};

// Height of the title strip above the picture.
inline constexpr int PreviewStripHeight = 22;

// The size a picture is shown at on that screen: its own, or scaled down (aspect kept) so that
// the window stays within a third of the screen's width and height.
QSize PreviewPictureSize(const QRect& screen, const QSize& imageSize);

// Where a preview window of that size opens: the last place (moved onto the screen) unless it
// covers the lower part of the anchor (its commands); else beside, below or above the anchor
// where it covers none of it, else there pulled onto the screen over the anchor's upper part,
// else in a corner of the screen that leaves the commands free. An empty anchor: the last place
// or the middle of the screen.
QPoint PreviewPosition(const QRect& screen, const QSize& size, const QRect& anchor,
                       std::optional<QPoint> last);

// Where the user last had a preview window: shared by the previewers of one main window.
using TPreviewPlace = std::shared_ptr<std::optional<QPoint>>;

// The encoder's preview window for one task. The window is made with the first picture: where
// another task's preview is on screen (which it replaces, so a run shows one preview at a time),
// else at PreviewPosition on the screen of the anchor (the main window).
class TPreviewer : public IPreviewWindow {
  public:
    explicit TPreviewer(QWidget* anchor, TPreviewPlace place = nullptr);
    ~TPreviewer() override;
    TPreviewer(const TPreviewer&) = delete;
    TPreviewer& operator=(const TPreviewer&) = delete;

    void ShowPicture(const TBitmap& bitmap, int32_t frameNumber, int64_t pts) override;
    bool IsOpen() const override;

    // nullptr before the first picture.
    TPreviewWindow* Window() const { return FWindow; }
    int32_t FrameNumber() const { return FFrameNumber; }
    int64_t PictureTime() const { return FPictureTime; }

  private:
    void Place();

    QPointer<QWidget> FAnchor;
    TPreviewPlace FPlace;
    QPointer<TPreviewWindow> FWindow;
    int32_t FFrameNumber = 0;
    int64_t FPictureTime = 0;
    bool FMade = false;
};

} // namespace mw
