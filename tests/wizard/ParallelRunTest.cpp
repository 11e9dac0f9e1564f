// The converting page with several files converted at once, over the real engine: the choice on
// the page, the running rows, the current file and the summary.
#include "EngineFixtures.h"
#include "WizardWindowFixture.h"

#include "TempDir.h"
#include "app/UtilFuncs.h"
#include "wizard/Pages.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

namespace mw {

using namespace test;

class ParallelRunTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { LoadEngineLibraries(); }
    void TwoFilesConvertAtOnceAndTheSummaryFollows();
    void AChoiceDuringTheRunIsKeptAndFollowed();
    void AJoinOffersNoChoice();
};

namespace {

// A cell's text; empty while the row is not there yet (the run fills the list after the page change).
QString Text(QTreeWidget* list, int row, int column) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return item ? item->text(column) : QString();
}

// Picks the item of a count as the user does.
void Choose(QComboBox* box, int count) {
    const int index = box->findData(count);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

} // namespace

void ParallelRunTest::TwoFilesConvertAtOnceAndTheSummaryFollows() {
    TTempDir sources;
    for (const char* name : {"first.mp3", "second.mp3"})
        std::filesystem::copy_file(Fixture("long.mp3"), sources.Path() + name);
    const QString folder = QString::fromStdString(sources.Path());
    TConversionWindow w(
        {folder + "first.mp3", folder + "second.mp3", QString::fromStdString(Fixture("a.mp3"))});
    GlobalVars.UserSettings.PlayASoundWhenFinished = true;
    GlobalVars.UserSettings.ParallelTasks = 2;
    w.Main->Controller()->Next();
    TConvertingPage* page = w.Main->ConvertingPage;
    // The window was made before the test chose; the run shows the choice it starts with.
    QTRY_COMPARE(page->ComboBoxParallelTasks->currentText(), "2");
    QVERIFY(page->ComboBoxParallelTasks->isVisibleTo(page));
    QTreeWidget* list = page->ListViewConverting;
    // Both long files report at once; the current file is the one started last.
    QTRY_VERIFY_WITH_TIMEOUT(Text(list, 0, 2) == "Converting..." && Text(list, 1, 2) == "Converting...",
                             30000);
    QVERIFY(Text(list, 0, 3).endsWith('%'));
    QVERIFY(Text(list, 1, 3).endsWith('%'));
    QCOMPARE(Text(list, 2, 2), "Waiting...");
    QCOMPARE(page->LabelCurrentFile->text(), folder + "second.mp3");
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 60000);
    TSummaryPage* summary = w.Main->ConversionSummaryPage;
    QCOMPARE(summary->LabelFinishTotalFiles->text(), "3");
    QCOMPARE(summary->LabelFinishSuccessed->text(), "3");
    QVERIFY(summary->MemoErrorLog->isHidden());
    QCOMPARE(w.Sounds, std::vector<std::string>{"done.wav"});
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(Text(list, r, 2), "Finish.");
        QCOMPARE(Text(list, r, 3), "100%");
    }
    for (const char* name : {"out/first.mp3", "out/second.mp3", "out/a.mp3"})
        QVERIFY2(FileExists(w.Dir.Path() + name), name);
}

void ParallelRunTest::AChoiceDuringTheRunIsKeptAndFollowed() {
    const QString longer = QString::fromStdString(Fixture("long.mp3"));
    TConversionWindow w({longer, longer, longer});
    GlobalVars.UserSettings.ParallelTasks = 1;
    w.Main->Controller()->Next();
    TConvertingPage* page = w.Main->ConvertingPage;
    QTreeWidget* list = page->ListViewConverting;
    QTRY_COMPARE_WITH_TIMEOUT(Text(list, 0, 2), "Converting...", 30000);
    QCOMPARE(Text(list, 1, 2), "Waiting...");
    Choose(page->ComboBoxParallelTasks, 3);
    QCOMPARE(GlobalVars.UserSettings.ParallelTasks, 3);
    // The waiting files start now, beside the first.
    QTRY_VERIFY_WITH_TIMEOUT(Text(list, 1, 2) == "Converting..." && Text(list, 2, 2) == "Converting...",
                             30000);
    w.Answer = mrYes;
    w.Main->Controller()->Exit();
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 30000);
    QCOMPARE(w.Main->ConversionSummaryPage->LabelFinishTotalFiles->text(), "3");
    Choose(page->ComboBoxParallelTasks, 0);
    QCOMPARE(GlobalVars.UserSettings.ParallelTasks, 0);
}

void ParallelRunTest::AJoinOffersNoChoice() {
    const QString mp3 = QString::fromStdString(Fixture("a.mp3"));
    TConversionWindow w({mp3, mp3, mp3}, {"Merge=Yes"});
    GlobalVars.UserSettings.ParallelTasks = 3;
    w.Main->Controller()->Next();
    TConvertingPage* page = w.Main->ConvertingPage;
    QVERIFY(!page->ComboBoxParallelTasks->isVisibleTo(page));
    QTRY_COMPARE_WITH_TIMEOUT(w.Main->CurrentPage(), TWizardPage::Step4, 60000);
    QCOMPARE(w.Main->ConversionSummaryPage->LabelFinishTotalFiles->text(), "1");
    QCOMPARE(w.Main->ConversionSummaryPage->LabelFinishSuccessed->text(), "1");
}

} // namespace mw

QTEST_MAIN(mw::ParallelRunTest)
#include "ParallelRunTest.moc"
