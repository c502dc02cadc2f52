#pragma once
// On X11 Qt sends its requests through xcb, on a connection libX11 opened,
// and lets xcb own the event queue. libX11 then keeps a record of every
// request sent (some 24 bytes each) until it waits for a reply of its own,
// which Qt seldom makes it do: a window that repaints and shows its progress
// window every few seconds would gather them for as long as it runs (about
// 4 MB a day of auto refresh at 3 s).

class QObject;

namespace zir {

// Makes libX11 wait for one reply on Qt's connection (a round trip to the X
// server), which lets the records of every request before it go. Does
// nothing on other platforms.
void SettleXlibRequests();

// SettleXlibRequests() every intervalMs while `owner` lives.
void SettleXlibRequestsEvery(QObject& owner, int intervalMs);

} // namespace zir
