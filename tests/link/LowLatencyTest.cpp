// The driver's low-latency mode: asked for on open, given back on close, and
// a driver that refuses it (a pseudo-terminal, a scripted driver here) does
// not fail the open.

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "PtyPair.h"
#include "link/CPDrv.h"
#include "support/VirtualClock.h"

namespace zir {
namespace {

constexpr int kLowLatency = static_cast<int>(ASYNC_LOW_LATENCY);
constexpr int kOtherFlag = static_cast<int>(ASYNC_SKIP_TEST);

// A driver's TIOCGSERIAL / TIOCSSERIAL, recording each call.
struct ScriptedDriver {
    int flags = kOtherFlag;
    int getError = 0; // errno of a refused TIOCGSERIAL
    int setError = 0; // errno of a refused TIOCSSERIAL
    struct Call {
        unsigned long request;
        int flags; // as handed to TIOCSSERIAL; -1 for TIOCGSERIAL
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;

    TCPDrv::SerialInfoCall Bind() {
        return [this](int, unsigned long request, serial_struct* info) {
            calls.push_back({request, request == TIOCSSERIAL ? info->flags : -1});
            const int error = request == TIOCGSERIAL ? getError : setError;
            if (error != 0) {
                errno = error;
                return -1;
            }
            if (request == TIOCGSERIAL)
                info->flags = flags;
            else
                flags = info->flags;
            return 0;
        };
    }
};

const ScriptedDriver::Call kGet{TIOCGSERIAL, -1};
ScriptedDriver::Call Set(int flags) { return {TIOCSSERIAL, flags}; }

TEST(LowLatency, AskedOnOpenGivenBackOnCloseRefusalIgnored) {
    struct Case {
        const char* what;
        int flags, getError, setError;
        std::vector<ScriptedDriver::Call> onOpen, onClose;
        int flagsWhileOpen;
    };
    const Case cases[] = {
        {"driver grants it",
         kOtherFlag,
         0,
         0,
         {kGet, Set(kOtherFlag | kLowLatency)},
         {kGet, Set(kOtherFlag)},
         kOtherFlag | kLowLatency},
        {"driver refuses the change", kOtherFlag, 0, EPERM, {kGet, Set(kOtherFlag | kLowLatency)}, {}, kOtherFlag},
        {"driver has no such settings", kOtherFlag, ENOTTY, 0, {kGet}, {}, kOtherFlag},
        {"already low latency: left as it was", kLowLatency, 0, 0, {kGet}, {}, kLowLatency},
    };
    for (const Case& c : cases) {
        test::PtyPair pty;
        ScriptedDriver driver;
        driver.flags = c.flags;
        driver.getError = c.getError;
        driver.setError = c.setError;
        test::VirtualClock clock;
        TCPDrv port(clock);
        port.SetSerialInfoCall(driver.Bind());
        port.SetPortName(pty.SlavePath());
        ASSERT_TRUE(port.Open()) << c.what << ": " << port.LastError().toStdString();
        EXPECT_EQ(driver.calls, c.onOpen) << c.what;
        EXPECT_EQ(driver.flags, c.flagsWhileOpen) << c.what;

        // The line works as ever.
        pty.Write("ok");
        EXPECT_EQ(port.ReadBytes(2), "ok") << c.what;

        driver.calls.clear();
        port.Close();
        EXPECT_EQ(driver.calls, c.onClose) << c.what;
        EXPECT_EQ(driver.flags & kLowLatency, c.flags & kLowLatency) << c.what << ": the flag as before the open";
    }
}

TEST(LowLatency, PseudoTerminalRefusesAndStillOpens) {
    test::PtyPair pty;
    int calls = 0;
    int refusals = 0;
    test::VirtualClock clock;
    TCPDrv port(clock);
    // The real call, counted.
    port.SetSerialInfoCall([&](int fd, unsigned long request, serial_struct* info) {
        ++calls;
        const int result = ::ioctl(fd, request, info);
        if (result != 0) ++refusals;
        return result;
    });
    port.SetPortName(pty.SlavePath());
    ASSERT_TRUE(port.Open()) << port.LastError().toStdString();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(refusals, 1) << "a pseudo-terminal has no serial settings";
    EXPECT_TRUE(port.LastError().isEmpty());
    port.Close();
    EXPECT_EQ(calls, 1) << "nothing to give back";
}

} // namespace
} // namespace zir
