// Skinned windows: modal runs and close codes, the final call, caption dragging, input
// translated into window messages, and messages posted and sent across threads.
#include <gtest/gtest.h>
#include <QApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "UiTestSupport.h"
#include "support/Wait.h"
#include "ui/CrossThread.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

RecordingWindow* MakeSample(bool visible = true) {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    auto* wnd = new RecordingWindow(QStringLiteral("sample.xml"));
    wnd->Create(nullptr, QStringLiteral("sample"), kWsPopup | (visible ? kWsVisible : 0u));
    return wnd;
}

}  // namespace

TEST(Window, ShowModalReturnsTheCloseCodeAndFinalRunsOnce) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample(false));
    QTimer::singleShot(0, wnd.get(), [&] {
        EXPECT_TRUE(wnd->IsModal());
        wnd->Close(7);
        wnd->Close(9);  // a second close changes nothing
    });
    EXPECT_EQ(wnd->ShowModal(), 7);
    EXPECT_FALSE(wnd->isVisible());
    ZOR_TRY_COMPARE(wnd->finalCount, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(wnd->finalCount, 1);
    EXPECT_EQ(wnd->Count("windowinit"), 1);
}

TEST(Window, ACloseHandlerThatMarksHandledKeepsTheWindowOpen) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    wnd->keepOpenOnClose = true;
    wnd->Close(1);
    EXPECT_FALSE(wnd->IsClosed());
    EXPECT_TRUE(wnd->isVisible());
    ASSERT_EQ(wnd->messages.size(), 1u);
    EXPECT_EQ(wnd->messages[0].msg, unsigned(kWmClose));
    wnd->keepOpenOnClose = false;
    wnd->close();  // the desktop's close goes the same way
    EXPECT_TRUE(wnd->IsClosed());
}

TEST(Window, CloseButtonOfTheSkinClosesTheWindow) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    Click(wnd->FindControl("closebtn"));
    EXPECT_TRUE(wnd->IsClosed());
}

TEST(Window, DraggingTheCaptionMovesTheWindowButNotFromAButton) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));
    wnd->move(100, 100);
    QWidget* title = wnd->FindControl("title");
    const QPoint start(10, 10);
    QTest::mousePress(title, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(30, 20)),
                     title->mapToGlobal(QPointF(start + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(title, &move);
    QTest::mouseRelease(title, Qt::LeftButton, {}, start + QPoint(30, 20));
    EXPECT_EQ(wnd->pos(), QPoint(130, 120));
    // A button inside the caption area is not a handle.
    QWidget* close = wnd->FindControl("closebtn");
    QTest::mousePress(close, Qt::LeftButton, {}, QPoint(2, 2));
    QMouseEvent move2(QEvent::MouseMove, QPointF(20, 20), close->mapToGlobal(QPointF(20, 20)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(close, &move2);
    EXPECT_EQ(wnd->pos(), QPoint(130, 120));
}

TEST(Window, MouseInputReachesTheWindowOnceInWindowCoordinates) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    QWidget* text = wnd->FindControl("text_long");
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(3, 4));
    ASSERT_EQ(wnd->clicks.size(), 1u);  // the label passes the press on to its parents: still one message
    EXPECT_EQ(wnd->clicks[0], text->mapTo(wnd.get(), QPoint(3, 4)));
}

TEST(Messages, PostedFromAWorkerThreadArriveWithTheirPayload) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    std::thread worker([target = wnd.get()] {
        for (int i = 0; i < 3; ++i)
            PostMessageTo(target, kMsgBleEvent, i, 16, QStringLiteral("hex-%1").arg(i));
    });
    worker.join();
    ZOR_TRY_COMPARE(wnd->messages.size(), size_t(3));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wnd->messages[size_t(i)].msg, unsigned(kMsgBleEvent));
        EXPECT_EQ(wnd->messages[size_t(i)].wParam, i);  // in order
        EXPECT_EQ(wnd->messages[size_t(i)].payload.toString(), QStringLiteral("hex-%1").arg(i));
    }
}

TEST(Messages, SendRunsAtOnceOnTheUiThreadAndBlocksAWorkerUntilHandled) {
    std::unique_ptr<RecordingWindow> wnd(MakeSample());
    EXPECT_EQ(SendMessageTo(wnd.get(), kMsgReadDeviceState, 0, 1), 42);
    ASSERT_EQ(wnd->messages.size(), 1u);

    std::atomic<long long> result{-1};
    std::atomic<bool> done{false};
    std::thread worker([&, target = wnd.get()] {
        result = SendMessageTo(target, kMsgReadDeviceState, 5, 0, QStringLiteral("owned"));
        done = true;
    });
    // The worker cannot finish before the UI thread has handled the message.
    ZOR_TRY_VERIFY(done.load());
    worker.join();
    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(wnd->messages.size(), 2u);
    EXPECT_EQ(wnd->messages[1].wParam, 5);
    EXPECT_EQ(wnd->messages[1].payload.toString(), "owned");
}

TEST(Messages, PostingToAWindowThatIsGoneIsHarmless) {
    RecordingWindow* wnd = MakeSample();
    PostMessageTo(wnd, kMsgApplyEnd);
    delete wnd;
    QCoreApplication::processEvents();
    PostMessageTo(nullptr, kMsgApplyEnd);
    EXPECT_EQ(SendMessageTo(nullptr, kMsgApplyEnd), 0);
}

TEST(Messages, CallsFromAWorkerRunInOrderOnTheUiThreadAndThoseLeftAreDroppedWithTheReceiver) {
    auto receiver = std::make_unique<CallReceiver>();
    std::vector<int> ran;
    std::vector<bool> onUiThread;
    auto counted = std::make_shared<int>(0);  // held by every call not yet destroyed
    std::thread worker([&, target = receiver.get()] {
        for (int i = 0; i < 3; ++i)
            target->Post([&, i, counted] {
                ran.push_back(i);
                onUiThread.push_back(QThread::currentThread() == qApp->thread());
            });
    });
    worker.join();
    ZOR_TRY_COMPARE(ran.size(), size_t(3));
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(onUiThread, (std::vector<bool>{true, true, true}));
    ZOR_TRY_COMPARE(counted.use_count(), 1L);  // each call was destroyed after it ran

    std::thread late([&, target = receiver.get()] { target->Post([&, counted] { ran.push_back(9); }); });
    late.join();
    receiver.reset();  // before the UI thread looked at its queue
    QCoreApplication::processEvents();
    EXPECT_EQ(ran.size(), 3u);
    EXPECT_EQ(counted.use_count(), 1L);
}

TEST(Messages, NumbersMatchTheProgramsTable) {
    EXPECT_EQ(kMsgPopColor, 2025u);
    EXPECT_EQ(kMsgReadDeviceState, 2053u);
    EXPECT_EQ(kMsgMsgBoxHideToTray, 2058u);
    EXPECT_EQ(kMsgCloseWndGone, 2070u);
    EXPECT_EQ(kMsgCloseConfig, 2071u);
    EXPECT_EQ(kMsgCloseAct, 2072u);
    EXPECT_EQ(kMsgShortPressChanged, 2074u);
    EXPECT_EQ(kMsgTrayIcon, 1025u);
    EXPECT_EQ(kMsgMenuClick, 1027u);
}

TEST(Window, AModalRunEndsWhenItsWindowIsDestroyed) {
    RecordingWindow* wnd = MakeSample(false);
    QTimer::singleShot(0, [wnd] { delete wnd; });
    EXPECT_EQ(wnd->ShowModal(), 0);  // returns instead of waiting forever
}
