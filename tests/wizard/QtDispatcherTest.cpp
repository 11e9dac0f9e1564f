// The dispatcher contract against the desktop application's dispatcher, under a real Qt
// application (offscreen platform in the test environment).
#include "wizard/platform/QtDispatcher.h"

#include "DispatcherContract.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace mw::test {

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "qt_dispatcher_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

// Stands for any event that is not a posted call (user input, a window event).
class TForeignReceiver : public QObject {
  public:
    std::atomic<bool>* Ran = nullptr;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User && Ran) {
            *Ran = true;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

struct TQtFrontEnd {
    TQtFrontEnd() { App(); }
    TForeignReceiver Foreign;
    std::unique_ptr<IMainThreadDispatcher> Make() { return std::make_unique<TQtDispatcher>(); }
    void PostForeignEvent(std::atomic<bool>& ran) {
        Foreign.Ran = &ran;
        QCoreApplication::postEvent(&Foreign, new QEvent(QEvent::User));
    }
    void ProcessForeignEvents() { QCoreApplication::processEvents(); }
};
using QtFrontEnds = ::testing::Types<TQtFrontEnd>;
INSTANTIATE_TYPED_TEST_SUITE_P(QtDispatcher, DispatcherContract, QtFrontEnds);

// The event loop alone (nobody calls RunPending) serves posted and delayed calls.
TEST(QtDispatcher, TheEventLoopRunsPostedAndDelayedCalls) {
    App();
    TQtDispatcher d;
    int ran = 0;
    d.Post([&] { ++ran; });
    d.PostDelayed(std::chrono::milliseconds(30), [&] { ++ran; });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (ran < 2 && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ran, 2);
}

} // namespace mw::test
