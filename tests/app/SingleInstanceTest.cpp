// One copy per user: the lock, the raise request of a later start, the lock freed with its
// owner.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <future>

#include "support/Wait.h"
#include "ui/SingleInstance.h"
#include "support/TempDir.h"

namespace zor::ui {
namespace {

// The instance files go to a runtime folder of the test's own.
class RuntimeFolder {
public:
    RuntimeFolder() : m_old(qgetenv("XDG_RUNTIME_DIR")) {
        ::chmod(m_dir.path().c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_dir.path().string()));
    }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", m_old); }

private:
    zor::test::TempDir m_dir;
    QByteArray m_old;
};

TEST(SingleInstance, ALaterStartFindsTheFirstAsksItToRaiseAndMayRunOnceItIsGone) {
    RuntimeFolder folder;
    auto first = std::make_unique<SingleInstance>(QStringLiteral("Zor Test/1"));
    ASSERT_TRUE(first->Acquire());
    EXPECT_TRUE(first->LockPath().endsWith(QStringLiteral("/Zor_Test_1.lock")));
    int raised = 0;
    first->SetRaiseHandler([&] { ++raised; });

    SingleInstance second(QStringLiteral("Zor Test/1"));
    EXPECT_FALSE(second.Acquire());
    // The request blocks the asking side; the first answers from its event loop.
    auto asked = std::async(std::launch::async, [&] { return second.NotifyFirst(5000); });
    ZOR_TRY_COMPARE_WITH_TIMEOUT(raised, 1, 5000);
    ASSERT_EQ(asked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(asked.get());

    // Another name is another instance.
    SingleInstance other(QStringLiteral("Zor Test/2"));
    EXPECT_TRUE(other.Acquire());

    // Nobody answers once the first has gone, and the next start may run.
    first.reset();
    EXPECT_FALSE(second.NotifyFirst(200));
    EXPECT_TRUE(second.Acquire());
}

}  // namespace
}  // namespace zor::ui
