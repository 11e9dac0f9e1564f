#include "wizard/OutputPageView.h"

#include "app/UtilFuncs.h"
#include "presets/PresetCatalogue.h"
#include "widgets/PictureButton.h"
#include "widgets/SkinPicture.h"
#include "wizard/platform/GuiUtils.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>

namespace mw {

namespace {

constexpr int TabWidth = 525;
// The format grid's cells start 10 pixels into their tab; the tab sits this far in, so that the
// first format lines up with the class buttons (18) and the labels above.
constexpr int TabLeft = 8;
const char* const ClassKeys[3] = {"video", "device", "audio"};
const char* const ClassCaptions[3] = {"Video", "Device", "Audio"};

// The button's state pictures and their @2x pictures (used when every state has one).
void SetStatePictures(TPictureButton* button, const std::string& folder, const std::string& stem) {
    std::vector<QPixmap> pictures, doubled;
    for (int n = 1; n <= 4; ++n) {
        const std::string file = folder + stem + "_" + std::to_string(n) + ".png";
        QImage normal;
        std::string ignored;
        if (!LoadSkinPicture(file, normal, ignored)) break;
        pictures.push_back(QPixmap::fromImage(normal));
        if (const QImage twice = LoadDoublePicture(file, normal); !twice.isNull())
            doubled.push_back(QPixmap::fromImage(twice));
    }
    button->SetPictures(std::move(pictures), std::move(doubled));
}

} // namespace

TOutputPageView::TOutputPageView(QWidget* parent, TOutputPageModel& model, TUserSettings& settings,
                                 const TProductConfig& config, const std::string& resourceFolder)
    : QWidget(parent), FModel(model), FSettings(settings) {
    setObjectName("TabSheetStep2");
    auto* folderLabel = new QLabel("Output directory:", this);
    folderLabel->move(18, 8);
    EditOutput = new QLineEdit(this);
    EditOutput->setObjectName("EditOutput");
    ButtonSelect = new QPushButton("Select...", this);
    ButtonSelect->setObjectName("ButtonSelect");
    connect(EditOutput, &QLineEdit::textEdited, this,
            [this](const QString& text) { FModel.SetOutputFolder(text.toStdString()); });
    connect(ButtonSelect, &QPushButton::clicked, this, &TOutputPageView::SelectClick);

    auto* convertLabel = new QLabel("Convert to:", this);
    QFont bold = convertLabel->font();
    bold.setBold(true);
    convertLabel->setFont(bold);
    folderLabel->setFont(bold);
    convertLabel->move(18, 92);

    const int pageWidth = parent ? parent->width() : 553;
    const TOutputPageLayout layout = LayoutOutputPage(config, TabWidth, pageWidth);
    EditOutput->setGeometry(18, 30, pageWidth - 18 - 110, 26);
    ButtonSelect->setGeometry(pageWidth - 100, 29, 92, 28);

    PageControlFormats = new QStackedWidget(this);
    PageControlFormats->setGeometry(TabLeft, layout.TabsTop, TabWidth, 125);
    for (int c = 0; c < 3; ++c) {
        CreateClassButton(c, layout, resourceFolder);
        auto* tab = new QWidget(PageControlFormats);
        PageControlFormats->addWidget(tab);
        for (const TFormatInfo& f : Formats()) {
            if (f.Class != c) continue;
            CreateFormatButton(tab, f, layout, resourceFolder);
            CreatePresetList(f, layout.TabsTop, pageWidth);
        }
    }
    auto* presetLabel = new QLabel("Preset:", this);
    presetLabel->setFont(bold);
    presetLabel->move(18, layout.TabsTop + 128);
    Sync();
}

void TOutputPageView::CreateClassButton(int c, const TOutputPageLayout& layout,
                                        const std::string& resourceFolder) {
    auto* button = new TPictureButton(this);
    button->setObjectName(QString("ButtonClass") + ClassCaptions[c]);
    SetStatePictures(button, resourceFolder, std::string("class_") + ClassKeys[c]);
    button->setCheckable(true);
    button->setToolTip(ClassCaptions[c]);
    button->setAccessibleName(ClassCaptions[c]);
    button->installEventFilter(this);
    button->move(layout.Classes[c].Left, layout.Classes[c].Top);
    button->setVisible(layout.Classes[c].Visible);
    ClassButtons[c] = button;
    connect(button, &QAbstractButton::clicked, this, [this, c] {
        FModel.SelectFormatClass(c);
        Sync();
    });
}

void TOutputPageView::CreateFormatButton(QWidget* tab, const TFormatInfo& f, const TOutputPageLayout& layout,
                                         const std::string& resourceFolder) {
    const int c = f.Class;
    auto* fb = new TPictureButton(tab);
    fb->setObjectName(QString::fromUtf8(f.Button.data(), static_cast<int>(f.Button.size())));
    SetStatePictures(fb, resourceFolder, "format_" + LowerCase(std::string(f.FlagKey)));
    if (fb->width() < 10) fb->resize(62, 57);
    fb->setCheckable(true);
    fb->setToolTip(QString::fromUtf8(f.Name.data(), static_cast<int>(f.Name.size())));
    fb->setAccessibleName(fb->toolTip());
    fb->installEventFilter(this);
    const TButtonPlace& place = layout.Formats[c][f.Number];
    fb->move(place.Left, place.Top);
    fb->setVisible(place.Visible);
    FormatButtons[c][f.Number] = fb;
    const int number = f.Number;
    connect(fb, &QAbstractButton::clicked, this, [this, c, number] {
        FModel.SelectOutputFormat(c, number);
        Sync();
    });
}

void TOutputPageView::CreatePresetList(const TFormatInfo& f, int tabsTop, int pageWidth) {
    const int c = f.Class;
    const int number = f.Number;
    auto* list = new QComboBox(this);
    list->setObjectName(QString::fromUtf8(f.PresetList.data(), static_cast<int>(f.PresetList.size())));
    list->setMaxVisibleItems(10);
    for (std::string_view text : PresetTexts(c, number)) {
        const QString item = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
        list->addItem(item);
        list->setItemData(list->count() - 1, item, Qt::ToolTipRole);
    }
    list->setGeometry(18, tabsTop + 150, pageWidth - 36, 28);
    // A preset text longer than the box is read in full in the open list and the tooltip.
    list->view()->setTextElideMode(Qt::ElideNone);
    list->view()->setMinimumWidth(std::max(list->width(), std::min(PresetPopupWidth(*list), 760)));
    list->setAccessibleName("Preset");
    list->hide();
    PresetLists[c][number] = list;
    connect(list, &QComboBox::currentIndexChanged, this, [this, list, c, number](int index) {
        list->setToolTip(list->currentText());
        if (!FSyncing) FModel.SelectPreset(c, number, index);
    });
}

int TOutputPageView::PresetPopupWidth(const QComboBox& list) {
    const QFontMetrics metrics(list.view()->font());
    int widest = 0;
    for (int i = 0; i < list.count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(list.itemText(i)));
    // Room for the view's margins and its scroll bar.
    return widest + 48;
}

std::vector<QWidget*> TOutputPageView::TabOrder() const {
    // Reading order: the folder, the classes, the active class's formats in grid order, the preset.
    std::vector<QWidget*> order = {EditOutput, ButtonSelect};
    for (TPictureButton* b : ClassButtons)
        order.push_back(b);
    const int active = FModel.ActiveClass();
    if (active >= 0 && active < 3)
        for (TPictureButton* b : FormatButtons[active])
            if (b) order.push_back(b);
    for (const auto& lists : PresetLists)
        for (QComboBox* list : lists)
            if (list && !list->isHidden()) order.push_back(list);
    return order;
}

void TOutputPageView::UpdateTabOrder() {
    const std::vector<QWidget*> order = TabOrder();
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // A group of choices is one Tab stop, at its chosen member; arrows move within it.
    const int active = FModel.ActiveClass();
    for (int c = 0; c < 3; ++c) {
        const bool classStop = c == active || (active < 0 && c == 0);
        ClassButtons[c]->setFocusPolicy(classStop ? Qt::TabFocus : Qt::NoFocus);
        const int pressed = FModel.PressedFormat(c);
        for (int f = 0; f < 9; ++f)
            if (TPictureButton* b = FormatButtons[c][f])
                b->setFocusPolicy(f == pressed || (pressed < 0 && f == FirstShown(c)) ? Qt::TabFocus
                                                                                       : Qt::NoFocus);
    }
}

int TOutputPageView::FirstShown(int cls) const {
    for (int f = 0; f < 9; ++f)
        if (FormatButtons[cls][f] && !FormatButtons[cls][f]->isHidden()) return f;
    return -1;
}

bool TOutputPageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int step = key == Qt::Key_Right || key == Qt::Key_Down ? 1
                     : key == Qt::Key_Left || key == Qt::Key_Up  ? -1
                                                                 : 0;
    if (!step) return QWidget::eventFilter(watched, event);
    // Arrows walk the shown members of the focused button's group, choosing as they go.
    std::vector<TPictureButton*> group;
    for (TPictureButton* b : ClassButtons)
        if (!b->isHidden()) group.push_back(b);
    if (std::find(group.begin(), group.end(), watched) == group.end()) {
        group.clear();
        for (const auto& row : FormatButtons) {
            if (std::find(row.begin(), row.end(), watched) == row.end()) continue;
            for (TPictureButton* b : row)
                if (b && !b->isHidden()) group.push_back(b);
        }
    }
    const auto at = std::find(group.begin(), group.end(), watched);
    if (at == group.end()) return QWidget::eventFilter(watched, event);
    const long index = std::distance(group.begin(), at) + step;
    if (index < 0 || index >= static_cast<long>(group.size())) return true;
    TPictureButton* next = group[static_cast<size_t>(index)];
    next->click();
    next->setFocus(Qt::TabFocusReason);
    return true;
}

void TOutputPageView::Sync() {
    FSyncing = true;
    if (EditOutput->text().toStdString() != FModel.OutputFolder())
        EditOutput->setText(QString::fromStdString(FModel.OutputFolder()));
    const int active = FModel.ActiveClass();
    for (int c = 0; c < 3; ++c) {
        ClassButtons[c]->setChecked(c == active);
        const int pressed = FModel.PressedFormat(c);
        for (int f = 0; f < 9; ++f) {
            if (TPictureButton* b = FormatButtons[c][f]) b->setChecked(f == pressed);
            QComboBox* list = PresetLists[c][f];
            if (!list) continue;
            list->setCurrentIndex(FModel.CurrentPreset(c, f));
            list->setToolTip(list->currentText());
            list->setVisible(c == active && f == pressed);
        }
    }
    if (active >= 0) PageControlFormats->setCurrentIndex(active);
    UpdateTabOrder();
    FSyncing = false;
}

void TOutputPageView::SelectClick() {
    std::string folder = FSettings.OutputFileDir;
    if (!SelectFolderDialog(window(), folder, "Please select a folder", 65)) return;
    EditOutput->setText(QString::fromStdString(AddTrailingBackslash(folder)));
    FModel.SetOutputFolder(EditOutput->text().toStdString());
    FSettings.OutputFileDir = EditOutput->text().toStdString();
}

} // namespace mw
