// The clock read from the main window, through the real serial port and
// exchange, against zir-sim on a pseudo-terminal linked as COM1.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/UFace.h"
#include "core/DateText.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

const QString kUntouched = QStringLiteral("Reading was not made");

// The program's configuration folder (settings file, com<n> links) for one test.
struct ConfigHome {
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    QTemporaryDir dir;
};

class ClockWindow {
public:
    explicit ClockWindow(const QStringList& simArgs) : sim(simArgs) {
        sim.LinkAsCom(config.dir.path(), 1);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(config.dir.path() + QLatin1Char('/'));
        face->RxSpinEdit_ComPort->setValue(1);
        face->CB_ComPort_Speed->setCurrentIndex(0); // 19200
        face->LE_DeviceAdr->setText(QStringLiteral("255.255.255"));
    }
    ~ClockWindow() { face->SetDialogs(nullptr); }

    ConfigHome config;
    SimProcess sim;
    ScriptedDialogs dialogs;
    std::unique_ptr<TFace> face;
};

QString Moment(int year, int month, int day, int hour, int minute) {
    return DateTimeToText(QDateTime(QDate(year, month, day), QTime(hour, minute)));
}

struct ClockCase {
    const char* name;
    QStringList simArgs;
    QString status;
    QString editTime; // empty: the field keeps its text
    QString error;    // empty: no error box
};

class ClockRead : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockRead, ShowsTheDecodedTimeOrKeepsTheField) {
    const ClockCase& c = GetParam();
    ClockWindow window(c.simArgs);
    window.face->actGetTime->trigger();

    EXPECT_EQ(window.face->Status(), c.status);
    EXPECT_EQ(window.face->Edit_Time->text(), c.editTime.isEmpty() ? kUntouched : c.editTime);
    EXPECT_EQ(window.dialogs.errors, c.error.isEmpty() ? QStringList() : QStringList{c.error});
    const QList<QByteArray> frames = window.sim.ReceivedFrames();
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames.front().mid(14, 2), "XT");
}

INSTANTIATE_TEST_SUITE_P(Replies, ClockRead,
                         ::testing::Values(ClockCase{"Christmas2007BankC",
                                                     {"--clock-bytes", "30 14 25 12 07 43"},
                                                     "Time readed",
                                                     Moment(2007, 12, 25, 14, 30) + "   (2)",
                                                     {}},
                                           ClockCase{"MidnightShowsTheDateAlone",
                                                     {"--clock-bytes", "00 00 25 12 07 41"},
                                                     "Time readed",
                                                     ShortDateText(QDate(2007, 12, 25)) + "   (0)",
                                                     {}},
                                           ClockCase{"BankByteBelowA",
                                                     {"--clock-bytes", "30 14 25 12 07 40"},
                                                     "Time readed",
                                                     Moment(2007, 12, 25, 14, 30) + "   (255)",
                                                     {}},
                                           ClockCase{"HeaderOnlyReply",
                                                     {"--fault", "wrong-length", "--fault-command", "XT"},
                                                     "Reading time error",
                                                     {},
                                                     {}},
                                           // A reply whose fields form no valid moment never leaves "Time readed".
                                           ClockCase{"InvalidMonth",
                                                     {"--clock-bytes", "30 14 25 13 07 43"},
                                                     "Reading time error",
                                                     {},
                                                     "'2007-13-25 14:30:00.000' is not a valid date and time."}),
                         [](const ::testing::TestParamInfo<ClockCase>& test) { return test.param.name; });

TEST(ClockCancel, EscapeCancelsAndItsPressDoesNotAskToFinish) {
    ClockWindow window({"--clock-bytes", "30 14 25 12 07 43"});
    window.face->show();
    QApplication::setActiveWindow(window.face.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.face.get()));
    window.face->SetEscapeProbe([] { return true; });
    window.dialogs.confirmAnswers = {true};

    QTest::keyClick(window.face->focusWidget() ? window.face->focusWidget() : window.face.get(), Qt::Key_T,
                    Qt::ControlModifier);
    EXPECT_EQ(window.dialogs.errors, QStringList{"Canceled."});
    EXPECT_EQ(window.face->Edit_Time->text(), kUntouched);

    // The key event of the press that cancelled arrives after the exchange.
    window.face->SetEscapeProbe([] { return false; });
    QTest::keyClick(window.face->focusWidget() ? window.face->focusWidget() : window.face.get(), Qt::Key_Escape);
    EXPECT_TRUE(window.dialogs.warnings.isEmpty());
    EXPECT_TRUE(window.face->isVisible());

    // The port was closed by the cancel: the next reading works.
    window.face->actGetTime->trigger();
    EXPECT_EQ(window.face->Status(), "Time readed");
}

} // namespace
} // namespace zir::test
