#include "wizard/OutputPageView.h"

#include "app/UtilFuncs.h"
#include "presets/PresetCatalogue.h"
#include "widgets/PictureButton.h"
#include "widgets/SkinPicture.h"
#include "wizard/platform/GuiUtils.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>

namespace mw {

namespace {

constexpr int TabWidth = 525;
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
    PageControlFormats->setGeometry(0, layout.TabsTop, TabWidth, 125);
    for (int c = 0; c < 3; ++c) {
        auto* button = new TPictureButton(this);
        button->setObjectName(QString("ButtonClass") + ClassCaptions[c]);
        SetStatePictures(button, resourceFolder, std::string("class_") + ClassKeys[c]);
        button->setCheckable(true);
        button->setToolTip(ClassCaptions[c]);
        button->move(layout.Classes[c].Left, layout.Classes[c].Top);
        button->setVisible(layout.Classes[c].Visible);
        ClassButtons[c] = button;
        connect(button, &QAbstractButton::clicked, this, [this, c] {
            FModel.SelectFormatClass(c);
            Sync();
        });
        auto* tab = new QWidget(PageControlFormats);
        PageControlFormats->addWidget(tab);
        for (const TFormatInfo& f : Formats()) {
            if (f.Class != c) continue;
            auto* fb = new TPictureButton(tab);
            fb->setObjectName(QString::fromUtf8(f.Button.data(), static_cast<int>(f.Button.size())));
            SetStatePictures(fb, resourceFolder, "format_" + LowerCase(std::string(f.FlagKey)));
            if (fb->width() < 10) fb->resize(62, 57);
            fb->setCheckable(true);
            fb->setToolTip(QString::fromUtf8(f.Name.data(), static_cast<int>(f.Name.size())));
            const TButtonPlace& place = layout.Formats[c][f.Number];
            fb->move(place.Left, place.Top);
            fb->setVisible(place.Visible);
            FormatButtons[c][f.Number] = fb;
            const int number = f.Number;
            connect(fb, &QAbstractButton::clicked, this, [this, c, number] {
                FModel.SelectOutputFormat(c, number);
                Sync();
            });

            auto* list = new QComboBox(this);
            list->setObjectName(
                QString::fromUtf8(f.PresetList.data(), static_cast<int>(f.PresetList.size())));
            list->setMaxVisibleItems(10);
            for (std::string_view text : PresetTexts(c, number))
                list->addItem(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
            list->setGeometry(18, layout.TabsTop + 150, pageWidth - 36, 28);
            list->hide();
            PresetLists[c][number] = list;
            connect(list, &QComboBox::currentIndexChanged, this, [this, c, number](int index) {
                if (!FSyncing) FModel.SelectPreset(c, number, index);
            });
        }
    }
    auto* presetLabel = new QLabel("Preset:", this);
    presetLabel->setFont(bold);
    presetLabel->move(18, layout.TabsTop + 128);
    Sync();
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
            list->setVisible(c == active && f == pressed);
        }
    }
    if (active >= 0) PageControlFormats->setCurrentIndex(active);
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
