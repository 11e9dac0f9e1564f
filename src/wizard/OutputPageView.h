// The output page's widgets over TOutputPageModel: the folder field with "Select...", the class
// buttons, one tab of format buttons per class and the 25 preset lists (the pressed format's
// list is the one shown). The model is the state; Sync() makes the widgets show it.
// Keyboard: the class buttons and each class's format buttons are a group with one Tab stop (the
// chosen member); arrow keys move through the shown members and choose them.
#pragma once

#include "presets/OutputPage.h"
#include "wizard/SkinLayout.h"

#include <QWidget>
#include <array>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace mw {

class TPictureButton;
struct TFormatInfo;

class TOutputPageView : public QWidget {
    Q_OBJECT
  public:
    // resourceFolder holds format_<key>_<n>.png and class_<name>_<n>.png.
    TOutputPageView(QWidget* parent, TOutputPageModel& model, TUserSettings& settings,
                    const TProductConfig& config, const std::string& resourceFolder);
    void Sync();
    // The page's controls in the order Tab visits them.
    std::vector<QWidget*> TabOrder() const;

    QLineEdit* EditOutput;
    QPushButton* ButtonSelect;
    std::array<TPictureButton*, 3> ClassButtons{};
    std::array<std::array<TPictureButton*, 9>, 3> FormatButtons{};
    std::array<std::array<QComboBox*, 9>, 3> PresetLists{};
    QStackedWidget* PageControlFormats;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The constructor's parts: a class button, a format button on its class's tab, the format's
    // preset list.
    void CreateClassButton(int c, const TOutputPageLayout& layout, const std::string& resourceFolder);
    void CreateFormatButton(QWidget* tab, const TFormatInfo& f, const TOutputPageLayout& layout,
                            const std::string& resourceFolder);
    void CreatePresetList(const TFormatInfo& f, int tabsTop, int pageWidth);
    void SelectClick();
    void UpdateTabOrder();
    int FirstShown(int cls) const;
    // Wide enough for the longest entry of the list.
    static int PresetPopupWidth(const QComboBox& list);

    TOutputPageModel& FModel;
    TUserSettings& FSettings;
    bool FSyncing = false;
};

} // namespace mw
