// On a real X server libX11 keeps a record of every request Qt sends until it
// waits for a reply of its own; settling lets them go, so a window that
// shows its progress window every few seconds does not gather them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include "app/XlibRequests.h"
#include "app/windows/UProgressBar.h"
#include "support/HeapInUse.h"

namespace zir::test {
namespace {

TEST(XlibRequests, SettlingLetsTheRecordsOfAnsweredRequestsGo) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    TFProgressBar window(&owner);
    auto showAndClose = [&](int times) {
        for (int i = 0; i < times; ++i) {
            window.Gauge->SetProgress(i % 100);
            window.ShowOver(&owner);
            QTest::qWait(2);
            window.close();
            QTest::qWait(2);
        }
    };
    showAndClose(20); // Qt's caches fill on the first showings
    SettleXlibRequests();
    const std::size_t before = HeapInUse();
    constexpr int kShowings = 200;
    showAndClose(kShowings);
    const std::size_t gathered = HeapInUse();
    if (gathered < before + kShowings * 24)
        GTEST_SKIP() << "this libX11 keeps no records of Qt's requests: " << (gathered - before) << " bytes";

    SettleXlibRequestsEvery(owner, 20);
    QTest::qWait(100);
    const std::size_t settled = HeapInUse();
    // What stays is what the showings keep otherwise (the gauge's glyphs,
    // the timer): a small part of the records.
    EXPECT_LT(settled, before + (gathered - before) / 4)
        << "gathered " << (gathered - before) << " bytes, " << (settled - before) << " left";
}

} // namespace
} // namespace zir::test
