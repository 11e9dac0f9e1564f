// The output page's widgets over TOutputPageModel: the folder field with "Select...", the class
// buttons, one tab of format buttons per class and the 25 preset lists (the pressed format's
// list is the one shown). The model is the state; Sync() makes the widgets show it.
#pragma once

#include "presets/OutputPage.h"
#include "wizard/SkinLayout.h"

#include <QWidget>
#include <array>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace mw {

class TPictureButton;

class TOutputPageView : public QWidget {
    Q_OBJECT
  public:
    // resourceFolder holds format_<key>_<n>.png and class_<name>_<n>.png.
    TOutputPageView(QWidget* parent, TOutputPageModel& model, TUserSettings& settings,
                    const TProductConfig& config, const std::string& resourceFolder);
    void Sync();

    QLineEdit* EditOutput;
    QPushButton* ButtonSelect;
    std::array<TPictureButton*, 3> ClassButtons{};
    std::array<std::array<TPictureButton*, 9>, 3> FormatButtons{};
    std::array<std::array<QComboBox*, 9>, 3> PresetLists{};
    QStackedWidget* PageControlFormats;

  private:
    void SelectClick();

    TOutputPageModel& FModel;
    TUserSettings& FSettings;
    bool FSyncing = false;
};

} // namespace mw
