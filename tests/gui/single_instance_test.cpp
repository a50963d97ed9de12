#include "app/ui/single_instance.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "gui_rig.h"

namespace korvane::gui {
namespace {

TEST(SingleInstance, ASecondStartStepsBackAndAsksTheFirstToComeForward) {
    TestApp();
    const QString name = QStringLiteral("KVNE-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(raised.wait(5000));
}

TEST(SingleInstance, ASocketLeftByACrashedCopyDoesNotBlockTheNextStart) {
    TestApp();
    const QString name = QStringLiteral("KVNE-stale-%1").arg(QCoreApplication::applicationPid());
    {
        SingleInstance crashed(name);
        // What a killed copy leaves behind: the socket file with nobody listening.
        QFile::remove(crashed.serverName());
        QFile stale(crashed.serverName());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.claim());
}

}  // namespace
}  // namespace korvane::gui
