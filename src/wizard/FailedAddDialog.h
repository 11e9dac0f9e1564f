// "Failed to Add Files": the files the latest add operation rejected, with their reasons.
#pragma once

#include <QDialog>

class QTreeWidget;

namespace mw {

class TFormFailedAddFile : public QDialog {
    Q_OBJECT
  public:
    // Lists GlobalVars.AddFailedFiles; centred on owner.
    explicit TFormFailedAddFile(QWidget* owner);
    QTreeWidget* ListViewFiles;
};

} // namespace mw
