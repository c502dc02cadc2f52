#include "app/XlibRequests.h"

#include <QGuiApplication>
#include <QTimer>

#include <X11/Xlib.h>

namespace zir {

void SettleXlibRequests() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display()) XSync(x11->display(), False);
}

void SettleXlibRequestsEvery(QObject& owner, int intervalMs) {
    auto* timer = new QTimer(&owner);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, timer, [] { SettleXlibRequests(); });
    timer->start();
}

} // namespace zir
