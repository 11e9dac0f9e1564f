// The file page: the source file list in slide style, its command buttons and context menu, and
// AddSourceFiles, the one way files get into the list (dialog, drop, finished downloads).
// GUI thread only; each file is probed synchronously, the window repaints between files.
#pragma once

#include "convert/SourceFiles.h"

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

class QAction;
class QPushButton;

namespace mw {

class TFFDecoder;
class TFormLog;
class TSlideGrid;

class TFilePage : public QWidget {
    Q_OBJECT
  public:
    // audioIcon: the picture of a sound-only row; videoIcon: of a video row whose picture could
    // not be decoded.
    TFilePage(QWidget* parent, TFormLog* log, const QImage& audioIcon, const QImage& videoIcon = QImage());
    ~TFilePage() override;

    // Probes each path (in order), appends the accepted ones and reports the rejected ones.
    void AddSourceFiles(const QStringList& paths);
    // Dropped items: folders skipped, only known media extensions kept; then AddSourceFiles.
    void DropFiles(const QStringList& paths);
    // The filter of the add dialog in Qt's syntax, both letter cases of every extension.
    static QString OpenDialogFilter();

    int RowCount() const;
    // The rows as the conversion run reads them, in list order.
    std::vector<TSourceFile> SourceFiles() const;
    void Clear();
    void UpdateActions();

    TSlideGrid* NextGrid;
    QAction *ActionAdd, *ActionDelete, *ActionClear, *ActionMoveUp, *ActionMoveDown, *ActionPlay,
        *ActionCropTrim;
    // Called when the failed-add dialog would be shown (tests); empty = show it.
    std::function<void()> OnFailedAdd;

  private:
    void AddClick();
    void DeleteClick();
    void MoveClick(int by);
    void PlayClick();
    void ShowFailedAddDialog();

    TFormLog* FLog;
    QImage FAudioIcon;
    QImage FVideoIcon;
    std::unique_ptr<TFFDecoder> FProbe;
};

} // namespace mw
