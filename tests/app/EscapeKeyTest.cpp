// Without a usable X display the Escape key is never held, and asking
// again does not try to connect again.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "app/EscapeKey.h"

namespace zir {
namespace {

TEST(EscapeKey, NeverHeldWithoutADisplay) {
    const QByteArray saved = qgetenv("DISPLAY");
    for (const char* display : {"", ":4242"}) {
        qputenv("DISPLAY", display);
        TEscapeKey key;
        EXPECT_FALSE(key.Held()) << display;
        EXPECT_FALSE(key.Held()) << display;
    }
    qputenv("DISPLAY", saved);
}

} // namespace
} // namespace zir
