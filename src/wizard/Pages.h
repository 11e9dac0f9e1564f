// The wizard's simple pages: controls laid out, no logic of their own. Their run logic (the
// conversion's progress, the download runner) is filled in by the components that own it; each
// page exposes its controls under their designer names for that.
#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace mw {

// A read-only report list with whole-row selection, as the run and download pages use.
QTreeWidget* NewReportList(QWidget* parent, const char* name, const QStringList& headers);

// Mode page: the two jobs, each with its picture; clicking a picture chooses its option.
class TModePage : public QWidget {
    Q_OBJECT
  public:
    TModePage(QWidget* parent, const QImage& downloadPicture, const QImage& convertPicture);
    QRadioButton* RadioButtonDownloadVideo;
    QRadioButton* RadioButtonConvertVideo;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* FImageDownloadVideo;
    QLabel* FImageConvertVideo;
};

// Converting page: status list, status group, after-conversion options.
class TConvertingPage : public QWidget {
    Q_OBJECT
  public:
    explicit TConvertingPage(QWidget* parent);
    // Columns 2 and 3 read "Width x Height" and "Aspect Ratio" while joining.
    void SetJoinMode(bool joinMode);
    QTreeWidget* ListViewConverting;
    QLabel* LabelCurrentFileCaption;
    QLabel *LabelCurrentFile, *LabelEstimated, *LabelElapsed, *LabelTimeLeft, *LabelProgress;
    QProgressBar* ProgressBar;
    QCheckBox* CheckBoxPlayASound;
    QCheckBox* CheckBoxShutdown;
    // Switches the encoder's preview window at each click, also during a run.
    QCheckBox* CheckBoxPreview;
    // "Convert N files at once": the automatic count (item data 0) or 1, 2, ...
    QComboBox* ComboBoxParallelTasks;
    int ParallelChoice() const;
    // Selects a choice (0 automatic), adding its item when the list lacks it.
    void SetParallelChoice(int choice);
    // The automatic item names the count it stands for this run ("Auto (2)").
    void SetAutomaticCount(int count);

  private:
    // Counts the list offers besides the automatic one (a stored larger one is added).
    static constexpr int ListedParallelCounts = 8;
    QWidget* NewParallelRow(QWidget* parent);
    QWidget* FParallelRow;
};

// The two summary pages: the counts, the error box (shown only when it has lines) and, on the
// download summary, the convert button.
class TSummaryPage : public QWidget {
    Q_OBJECT
  public:
    enum TKind { skConversion, skDownload };
    TSummaryPage(QWidget* parent, TKind kind, const QString& title);
    void SetCounts(int total, int succeeded, int failed);
    // The error box's lines; hidden when empty.
    void SetErrors(const QString& lines);
    QLabel *LabelFinishTitle1, *LabelFinishTitle2;
    QLabel *LabelFinishTotalFiles, *LabelFinishSuccessed, *LabelFinishFailed;
    QLabel* LabelOpenFolder;
    QPlainTextEdit* MemoErrorLog;
    QPushButton* ButtonConvertDownloaded = nullptr; // download summary

  signals:
    void OpenFolderClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Link page: link list, download folder, quality preference.
class TLinkPage : public QWidget {
    Q_OBJECT
  public:
    explicit TLinkPage(QWidget* parent);
    QListWidget* ListBoxURL;
    QPushButton *ButtonURLPaste, *ButtonURLRemove, *ButtonURLEmpty;
    QLineEdit* EditURLOutput;
    QPushButton* ButtonURLOutputSelect;
    QCheckBox* CheckBoxYouTubeQuality;
    QPushButton* ButtonYouTubeQualityConfig;
    QLabel* LabelYouTubeQuality;
    // "Download with:" the road, in the order of the DownloadEngine setting.
    QComboBox* ComboBoxDownloadEngine;
};

// Downloading page: download list and status.
class TDownloadingPage : public QWidget {
    Q_OBJECT
  public:
    explicit TDownloadingPage(QWidget* parent);
    QTreeWidget* ListViewURLDownload;
    QLabel *LabelCurrentFile, *LabelStatus, *LabelSpeed, *LabelElapsed, *LabelTimeLeft, *LabelQuality,
        *LabelProgress;
    QProgressBar* ProgressBar;
};

} // namespace mw
