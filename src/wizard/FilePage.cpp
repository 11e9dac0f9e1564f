#include "wizard/FilePage.h"

#include "app/Globals.h"
#include "app/UtilFuncs.h"
#include "convert/SourceList.h"
#include "engine/probe/FFDecode.h"
#include "widgets/BitmapImage.h"
#include "widgets/SlideGrid.h"
#include "wizard/FailedAddDialog.h"
#include "wizard/LogWindow.h"
#include "wizard/platform/GuiUtils.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace mw {

namespace {

// Description and patterns of the add dialog, as the classic "text|patterns|..." pairs.
const char* const OpenDialogPairs =
    "All Supported "
    "Formats|*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;*."
    "VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;*.WEBM;*.MP3;*.AAC;*.WAV;*.WMA;*.CDA;*.FLAC;*.M4A;*.MID;*."
    "MKA;*.MP2;"
    "*.MPA;*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|All Video Formats (all "
    "types)|*.AVI;*.AVM;*.ASF;*."
    "WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*."
    "NSV;*.SWF;"
    "*.WEBM;|All Audio Formats (all "
    "types)|*.MP3;*.AAC;*.WAV;*.WMA;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;*.MPC;*"
    ".APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|All Files|*.*";

// File names are bytes on Linux: keep them as the file system gave them, whatever their encoding.
std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The busy cursor for one add operation, also when an error escapes it.
struct TWaitCursor {
    TWaitCursor() { BeginWaitCursor(); }
    ~TWaitCursor() { EndWaitCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

QString TFilePage::OpenDialogFilter() {
    const QStringList parts = QString(OpenDialogPairs).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            // The dialog matches case-sensitively on Linux: offer both cases.
            patterns << p.toLower();
            if (p.toUpper() != p.toLower()) patterns << p.toUpper();
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

TFilePage::TFilePage(QWidget* parent, TFormLog* log, const QImage& audioIcon, const QImage& videoIcon)
    : QWidget(parent), FLog(log), FAudioIcon(audioIcon), FVideoIcon(videoIcon) {
    setObjectName("TabSheetStep1");
    NextGrid = new TSlideGrid(this);
    NextGrid->setObjectName("NextGrid");
    struct TActionRow {
        QAction** Action;
        const char* Name;
        const char* Caption;
        QKeySequence Keys;
    };
    const TActionRow rows[] = {
        {&ActionAdd, "ActionAdd", "&Add File(s)...", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {&ActionDelete, "ActionDelete", "&Delete", QKeySequence(Qt::Key_Delete)},
        {&ActionClear, "ActionClear", "&Clear", QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {&ActionMoveUp, "ActionMoveUp", "&Move Up", QKeySequence()},
        {&ActionMoveDown, "ActionMoveDown", "M&ove Down", QKeySequence()},
        {&ActionPlay, "ActionPlay", "&Play", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {&ActionCropTrim, "ActionCropTrim", "C&rop && Trim", QKeySequence()},
    };
    for (const TActionRow& r : rows) {
        *r.Action = new QAction(r.Caption, this);
        (*r.Action)->setObjectName(r.Name);
        (*r.Action)->setShortcut(r.Keys);
        (*r.Action)->setShortcutContext(Qt::WindowShortcut);
    }
    ActionCropTrim->setVisible(false);
    connect(ActionAdd, &QAction::triggered, this, &TFilePage::AddClick);
    connect(ActionDelete, &QAction::triggered, this, &TFilePage::DeleteClick);
    connect(ActionClear, &QAction::triggered, this, [this] { Clear(); });
    connect(ActionMoveUp, &QAction::triggered, this, [this] { MoveClick(-1); });
    connect(ActionMoveDown, &QAction::triggered, this, [this] { MoveClick(1); });
    connect(ActionPlay, &QAction::triggered, this, &TFilePage::PlayClick);
    connect(NextGrid, &QListWidget::itemDoubleClicked, this, &TFilePage::PlayClick);
    connect(NextGrid, &QListWidget::itemSelectionChanged, this, &TFilePage::UpdateActions);
    connect(NextGrid, &TSlideGrid::RowsMoved, this, &TFilePage::UpdateActions);

    // Context menu: Add, Delete, Clear | Move Up, Move Down | Play, Crop & Trim.
    NextGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto separator = [this] {
        auto* s = new QAction(this);
        s->setSeparator(true);
        return s;
    };
    NextGrid->addActions({ActionAdd, ActionDelete, ActionClear, separator(), ActionMoveUp, ActionMoveDown,
                          separator(), ActionPlay, ActionCropTrim});

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    for (QAction* a : {ActionAdd, ActionDelete, ActionClear, ActionMoveUp, ActionMoveDown, ActionPlay}) {
        auto* b = new QPushButton(a->text(), this);
        b->setObjectName("Button" + a->objectName().mid(6));
        b->setMinimumWidth(110);
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        buttons->addWidget(b);
        if (a == ActionAdd || a == ActionClear || a == ActionMoveDown) buttons->addSpacing(8);
    }
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(NextGrid, 1);
    layout->addLayout(buttons);
    UpdateActions();
}

TFilePage::~TFilePage() = default;

std::vector<TSourceFile> TFilePage::SourceFiles() const {
    // The hidden cells were written by this program from numbers; a damaged one reads as unknown.
    const auto number = [this](int row, int column, double fallback) {
        bool ok = false;
        const double value = NextGrid->Cell(row, column).toDouble(&ok);
        return ok ? value : fallback;
    };
    std::vector<TSourceFile> files;
    for (int r = 0; r < NextGrid->count(); ++r) {
        TSourceFile f;
        f.FullName = NativePath(NextGrid->Cell(r, scFileFullName));
        f.RealDuration = static_cast<int64_t>(number(r, scRealDuration, 0));
        f.Width = static_cast<int32_t>(number(r, scWidth, -1));
        f.Height = static_cast<int32_t>(number(r, scHeight, -1));
        f.AspectRatio = static_cast<float>(number(r, scAspectRatio, -1));
        files.push_back(f);
    }
    return files;
}

int TFilePage::RowCount() const {
    return NextGrid->count();
}

void TFilePage::Clear() {
    NextGrid->clear();
    UpdateActions();
}

void TFilePage::UpdateActions() {
    const int row = NextGrid->SelectedRow();
    const int count = NextGrid->count();
    ActionDelete->setEnabled(row >= 0);
    ActionPlay->setEnabled(row >= 0);
    ActionClear->setEnabled(count > 0);
    ActionMoveUp->setEnabled(row > 0);
    ActionMoveDown->setEnabled(row >= 0 && row < count - 1);
}

void TFilePage::AddSourceFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    GlobalVars.AddFailedFiles.clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    NextGrid->setUpdatesEnabled(false);
    QFont bold = NextGrid->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    for (const QString& path : paths) {
        const std::string native = NativePath(path);
        TSourceRow row;
        TBitmap thumbnail;
        std::string error;
        bool ok = false;
        try {
            if (!FProbe) FProbe = std::make_unique<TFFDecoder>();
            ok = ProbeSourceFile(*FProbe, native, row, thumbnail, error);
        } catch (const std::exception& e) { // the engine is not loaded
            error = ExtractFileName(native) + ": " + e.what();
        }
        if (!ok) {
            FLog->AppendLogLine("File load error: " + DisplayPath(error));
            GlobalVars.AddFailedFiles.push_back(error);
        } else {
            QStringList cells;
            for (const std::string& cell : row.Cells)
                cells << DisplayPath(cell);
            cells[scFileMinName] = DisplayPath(ShortenRowPath(native, [&metrics](const std::string& text) {
                return metrics.horizontalAdvance(DisplayPath(text)) <= 255;
            }));
            const QImage picture = row.AudioOnly           ? FAudioIcon.copy()
                                   : thumbnail.Width() > 0 ? BitmapToImage(thumbnail)
                                                           : FVideoIcon.copy();
            NextGrid->AppendRow(picture, cells);
        }
        // Thousands of files: keep repainting and the wait cursor alive between them.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    NextGrid->setUpdatesEnabled(true);
    UpdateActions();
    if (!GlobalVars.AddFailedFiles.empty()) ShowFailedAddDialog();
}

void TFilePage::DropFiles(const QStringList& paths) {
    const TWaitCursor wait;
    QStringList kept;
    for (const QString& p : paths) {
        const QFileInfo info(p);
        if (info.isDir()) continue;
        if (IsMediaFileExt(ExtractFileExt(NativePath(p)))) kept << p;
    }
    AddSourceFiles(kept);
}

void TFilePage::ShowFailedAddDialog() {
    if (OnFailedAdd) return OnFailedAdd();
    TFormFailedAddFile dialog(window());
    dialog.exec();
}

void TFilePage::AddClick() {
    QFileDialog dialog(window(), QString(), DisplayPath(GlobalVars.UserSettings.LastOpenDir),
                       OpenDialogFilter());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return;
    QMetaObject::invokeMethod(this, [this, files] {
        {
            const TWaitCursor wait;
            AddSourceFiles(files);
        }
        GlobalVars.UserSettings.LastOpenDir = ExtractFilePath(NativePath(files.first()));
    }, Qt::QueuedConnection);
}

void TFilePage::DeleteClick() {
    const int row = NextGrid->SelectedRow();
    if (row < 0) return;
    delete NextGrid->takeItem(row);
    NextGrid->SelectRow(std::min(row, NextGrid->count() - 1));
    UpdateActions();
}

void TFilePage::MoveClick(int by) {
    const int row = NextGrid->SelectedRow();
    if (row < 0) return;
    NextGrid->MoveRow(row, row + by);
    UpdateActions();
}

void TFilePage::PlayClick() {
    const int row = NextGrid->SelectedRow();
    if (row >= 0) ShellOpen(NativePath(NextGrid->Cell(row, scFileFullName)));
}

} // namespace mw
