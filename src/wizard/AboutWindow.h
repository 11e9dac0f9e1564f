// The About window: title and version, holder line with the current year, web site and support
// links, the download engine (the extractor program's version, asked when the window opens, and
// "Update download engine" for the user's own copy), and the Update tab. Modal, centred over the
// main window, destroyed when closed.
#pragma once

#include "app/ProductConfig.h"

#include <QDialog>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace mw {

class TExtractorProcess;

class TFormAbout : public QDialog {
    Q_OBJECT
  public:
    TFormAbout(QWidget* owner, const TProductConfig& config, int year);
    ~TFormAbout() override;
    QLabel *LabalTitle, *LabelVersion, *LabelCopyright, *LabelWeb, *LabelSupport;
    QLabel* ImageLeft; // nullptr in skin 3
    QTabWidget* PageControl;
    QPushButton *ButtonUpdates, *ButtonOK;
    // The download engine (editions that download): its version, its update and what that said.
    QLabel* LabelDownloadEngine = nullptr;
    QPushButton* ButtonUpdateEngine = nullptr;
    QLabel* LabelEngineUpdate = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The constructor's parts, in the order the window is built.
    void CreateLogo();
    QWidget* CreateAboutTab(const QString& name, int year);
    void AddEngineLines(QWidget* about, QVBoxLayout* a);
    QWidget* CreateUpdateTab(const QString& name);
    void PlaceOKButton(QWidget* owner);
    void AskEngineVersion();
    void UpdateEngine();

    const TProductConfig& FConfig;
    std::string FEnginePath;
    std::unique_ptr<TExtractorProcess> FEngine;
};

} // namespace mw
