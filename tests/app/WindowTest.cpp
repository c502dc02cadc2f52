// The main window with its real widgets, driven by key and mouse events.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/ErrorBox.h"
#include "app/HelpWindow.h"
#include "app/UFace.h"
#include "app/windows/UAbout.h"
#include "app/windows/UProgressBar.h"
#include "device/DeviceContext.h"
#include "link/ZebusModTransport.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/support/FakeDeviceLink.h"
#include "tests/support/RecordingStatus.h"

namespace zir::test {
namespace {

QByteArray ClockReply(std::initializer_list<std::uint8_t> timeAndBank) {
    QByteArray data(3, '\0');
    for (const std::uint8_t b : timeAndBank) data.append(static_cast<char>(b));
    return BuildFrame(QStringLiteral("255.255.255"), kHostAddress, kKindRead, 0, data);
}

// A private settings folder, set before the window reads its settings.
struct ConfigHome {
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    QTemporaryDir dir;
};

class Window : public ::testing::Test {
protected:
    Window() {
        face.SetDialogs(&dialogs);
        face.SetDeviceLink(&link);
        face.SetAppDir(dir.path() + QLatin1Char('/'));
        face.show();
        QApplication::setActiveWindow(&face);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&face));
    }
    ~Window() override {
        face.SetDialogs(nullptr);
        face.SetDeviceLink(nullptr);
    }

    // Sends keys where the operator's keys go: the control with the focus.
    QWidget* Focused() { return face.focusWidget() ? face.focusWidget() : &face; }
    void Focus(QWidget* widget) {
        widget->setFocus();
        QApplication::processEvents();
    }

    ConfigHome config;
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeDeviceLink link;
    TFace face;
};

TEST_F(Window, StartsWithTitleEmptyStatusAndDesignedDefaults) {
    EXPECT_EQ(face.windowTitle(), "ZIR");
    EXPECT_EQ(face.Status(), "");
    EXPECT_EQ(face.PageControl1->currentWidget(), face.TabSheet1);
    EXPECT_TRUE(face.GB_Hidden->isHidden());
    EXPECT_TRUE(face.NProgressCheck->isChecked());
    EXPECT_TRUE(face.Timer->isActive());
    EXPECT_EQ(face.Timer->interval(), 1000);
    EXPECT_EQ(face.CB_ComPort_Speed->currentIndex(), -1);
    EXPECT_EQ(face.CB_ComPort_Speed->currentText(), "");
    EXPECT_FALSE(face.ME_TimeFrom->isEnabled());
    EXPECT_EQ(face.ME_TimeFrom->text(), "00:00");
    EXPECT_EQ(face.ME_TimeTo->text(), "23:59");
    EXPECT_EQ(face.Edit_Time->text(), "Reading was not made");
    EXPECT_EQ(face.RxSpEdit_Param_Z->toolTip().count(QStringLiteral("\r\n")), 6);
    // The settings store finds the components by their design names.
    for (const char* name : {"Edit_Razmernost", "PageControl1", "TabSheet1", "TabSheet2", "CB_ComPort_Speed",
                             "RxSpinEdit_ComPort", "LE_DeviceAdr", "ME_TimeFrom", "CB_NoNull", "RxSpEdit_Param_VCom"}) {
        EXPECT_NE(face.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_NE(face.findChild<QAction*>(QStringLiteral("NProgressCheck")), nullptr);
    // Not resizable.
    EXPECT_EQ(face.minimumSize(), face.maximumSize());
}

TEST_F(Window, CtrlTReadsTheClockAlsoFromAnEditField) {
    link.answer = [](const QByteArray&) { return ClockReply({0x30, 0x14, 0x25, 0x12, 0x07, 'C'}); };
    Focus(face.Edit_Koeff_K);
    QTest::keyClick(Focused(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(link.SentData(), std::vector<QByteArray>{"XT"});
    EXPECT_TRUE(face.Edit_Time->text().endsWith(QStringLiteral("   (2)"))) << face.Edit_Time->text().toStdString();
    EXPECT_EQ(face.Status(), "Time readed");
    EXPECT_EQ(face.Edit_Koeff_K->text(), "1"); // the edit did not see the key
}

TEST_F(Window, CtrlXEndsWithoutAQuestionAlsoFromAnEditField) {
    QSignalSpy closing(&face, &TFace::CloseAccepted);
    Focus(face.LE_DeviceAdr);
    face.LE_DeviceAdr->selectAll();
    QTest::keyClick(Focused(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(face.isVisible());
    EXPECT_EQ(closing.count(), 1);
    EXPECT_TRUE(dialogs.warnings.isEmpty());
    EXPECT_EQ(face.LE_DeviceAdr->text(), "255.255.255"); // not cut
}

TEST_F(Window, CtrlAOpensTheAboutBoxAlsoFromAnEditField) {
    Focus(face.Edit_Razmernost);
    face.Edit_Razmernost->setText(QStringLiteral("mSv"));
    QWidget* shown = nullptr;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget();
        if (shown) static_cast<QDialog*>(shown)->accept();
    });
    QTest::keyClick(Focused(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(shown, face.AboutBox);
    EXPECT_FALSE(face.Edit_Razmernost->hasSelectedText());
}

// Escape asks; only OK closes; the question comes again on the next Escape.
struct EscapeCase {
    std::deque<bool> answers;
    int presses;
    bool closed;
};

class EscapeQuestion : public Window, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeQuestion, OnlyOkCloses) {
    QSignalSpy closing(&face, &TFace::CloseAccepted);
    dialogs.confirmAnswers = GetParam().answers;
    Focus(face.LE_DeviceAdr);
    for (int i = 0; i < GetParam().presses; ++i) QTest::keyClick(Focused(), Qt::Key_Escape);
    EXPECT_EQ(dialogs.warnings, QStringList(GetParam().presses, "Would you like to finish the program?"));
    EXPECT_EQ(face.isVisible(), !GetParam().closed);
    EXPECT_EQ(closing.count(), GetParam().closed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, EscapeQuestion,
                         ::testing::Values(EscapeCase{{true}, 1, true}, EscapeCase{{false}, 1, false},
                                           EscapeCase{{false, false}, 2, false}, EscapeCase{{false, true}, 2, true}));

// The hidden group: "KOTA" typed in upper case, each "K" restarting the capture.
struct HiddenCase {
    const char* typed;
    bool revealed;
};

class HiddenCode : public Window, public ::testing::WithParamInterface<HiddenCase> {};

TEST_P(HiddenCode, RevealsOnlyOnTheExactCode) {
    Focus(face.Edit_Razmernost);
    QTest::keyClicks(Focused(), QString::fromLatin1(GetParam().typed));
    EXPECT_EQ(!face.GB_Hidden->isHidden(), GetParam().revealed) << GetParam().typed;
    // The characters still reach the focused control.
    EXPECT_EQ(face.Edit_Razmernost->text(), QString::fromLatin1(GetParam().typed));
}

INSTANTIATE_TEST_SUITE_P(Typed, HiddenCode,
                         ::testing::Values(HiddenCase{"KOTA", true}, HiddenCase{"kota", false},
                                           HiddenCase{"KOxTA", false}, HiddenCase{"KOT A", false},
                                           HiddenCase{"KOKOTA", true}, HiddenCase{"KOTKOTA", true},
                                           HiddenCase{"xyKOTAz", true}, HiddenCase{"KOTa", false},
                                           HiddenCase{"OTA", false}));

// Typed characters are handled once, also in the bank list box, whose events
// the window sees both as the focused control's and as its edit field's.
struct FocusedControlCase {
    const char* name;
    QWidget* (*control)(TFace&);
};

class KeysInControl : public Window, public ::testing::WithParamInterface<FocusedControlCase> {
protected:
    void SetUp() override {
        face.PageControl1->setCurrentWidget(face.TabSheet2);
        Focus(GetParam().control(face));
        ASSERT_TRUE(GetParam().control(face)->hasFocus());
    }
};

TEST_P(KeysInControl, EscapeAsksOnce) {
    QTest::keyClick(Focused(), Qt::Key_Escape);
    EXPECT_EQ(dialogs.warnings, QStringList{"Would you like to finish the program?"});
}

TEST_P(KeysInControl, TheCodeRevealsTheGroup) {
    QTest::keyClicks(Focused(), QStringLiteral("KOTA"));
    EXPECT_FALSE(face.GB_Hidden->isHidden());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, KeysInControl,
    ::testing::Values(FocusedControlCase{"BankBox", [](TFace& f) -> QWidget* { return f.CB_Bank; }},
                      FocusedControlCase{"BankBoxEditField",
                                         [](TFace& f) -> QWidget* { return f.CB_Bank->lineEdit(); }},
                      FocusedControlCase{"AddressField", [](TFace& f) -> QWidget* { return f.LE_DeviceAdr; }}),
    [](const ::testing::TestParamInfo<FocusedControlCase>& param) { return param.param.name; });

// A check box that governs another control: the control is enabled exactly
// while the box is checked, however the box changes.
struct GoverningCase {
    const char* name;
    QCheckBox* (*box)(TFace&);
    QWidget* (*governed)(TFace&);
};

using ChangeBox = void (*)(QCheckBox& box);

void Click(QCheckBox& box) { QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2)); }
void SpaceKey(QCheckBox& box) {
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
}
// What a screen reader or UI automation does: the box's Toggle action.
void AccessibleToggle(QCheckBox& box) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}
void SetByProgram(QCheckBox& box) { box.setChecked(!box.isChecked()); }

class GoverningBox : public Window, public ::testing::WithParamInterface<std::tuple<GoverningCase, ChangeBox>> {};

TEST_P(GoverningBox, ControlEnabledExactlyWhileChecked) {
    const auto& [which, change] = GetParam();
    face.PageControl1->setCurrentWidget(face.TabSheet2);
    QCheckBox& box = *which.box(face);
    QWidget& governed = *which.governed(face);
    ASSERT_FALSE(box.isChecked());
    ASSERT_FALSE(governed.isEnabled());
    for (const bool checked : {true, false, true}) {
        change(box);
        ASSERT_EQ(box.isChecked(), checked);
        EXPECT_EQ(governed.isEnabled(), checked) << which.name << " checked " << checked;
        // The log box is unchecked whenever it becomes disabled.
        if (auto* governedBox = qobject_cast<QCheckBox*>(&governed); governedBox && !checked) {
            EXPECT_FALSE(governedBox->isChecked());
        }
        if (auto* governedBox = qobject_cast<QCheckBox*>(&governed); governedBox && checked)
            governedBox->setChecked(true);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, GoverningBox,
    ::testing::Combine(::testing::Values(GoverningCase{"AutoRefresh", [](TFace& f) { return f.CB_Refresh; },
                                                       [](TFace& f) -> QWidget* { return f.CB_ReadToFile; }},
                                         GoverningCase{"FilterFrom", [](TFace& f) { return f.CB_TimeFrom; },
                                                       [](TFace& f) -> QWidget* { return f.ME_TimeFrom; }},
                                         GoverningCase{"FilterTo", [](TFace& f) { return f.CB_TimeTo; },
                                                       [](TFace& f) -> QWidget* { return f.ME_TimeTo; }}),
                       ::testing::Values(&Click, &SpaceKey, &AccessibleToggle, &SetByProgram)),
    [](const auto& param) {
        const ChangeBox change = std::get<1>(param.param);
        const char* how = change == &Click              ? "Click"
                          : change == &SpaceKey         ? "SpaceKey"
                          : change == &AccessibleToggle ? "AccessibleToggle"
                                                        : "SetByProgram";
        return std::string(std::get<0>(param.param).name) + how;
    });

TEST_F(Window, HiddenGroupStaysVisibleWhenTheCodeComesAgain) {
    Focus(face.Edit_Koeff_K);
    QTest::keyClicks(Focused(), QStringLiteral("KOTAKOTA"));
    EXPECT_FALSE(face.GB_Hidden->isHidden());
}

TEST_F(Window, PageNotesOnlyWhenTheOperatorChangesThePage) {
    face.PageControl1->setCurrentIndex(1); // as the settings restore does
    EXPECT_EQ(face.Status(), "");

    QTabBar* bar = face.PageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(face.Status(), "You can use this mode if ZIR started with Enter и Esc keys on device");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(face.Status(), "You can use this mode if ZIR started in normal mode");

    face.SetStatus(QString());
    face.PageControl1->setCurrentIndex(0);
    EXPECT_EQ(face.Status(), "");
}

// A result message stays until the next operation writes: passing over menu
// items (which carry no status tips) must not wipe it.
TEST_F(Window, MenuItemsLeaveTheStatusLineAlone) {
    face.SetStatus(QStringLiteral("Time readed"));
    // Where a menu reports the item under the mouse: the menu bar, or the
    // window for its context menu.
    for (QAction* item : {face.actGetTime, face.NProgressCheck, face.actAbout}) item->showStatusText(face.menuBar());
    face.actExit->showStatusText(&face);
    EXPECT_EQ(face.Status(), "Time readed");
}

TEST_F(Window, ErrorOfAHandlerEndsInTheErrorBoxAndTheWindowGoesOn) {
    // No speed chosen: the exchange refuses the empty speed text.
    face.SetDeviceLink(nullptr);
    face.CB_ComPort_Speed->setCurrentIndex(-1);
    face.actGetTime->trigger();
    EXPECT_EQ(dialogs.errors, QStringList{"'' is not a valid integer value."});
    EXPECT_EQ(face.Edit_Time->text(), "Reading was not made");
    EXPECT_TRUE(face.isVisible());
}

TEST(ErrorBoxText, AppendsAFullStopOnlyAfterCharactersSortingAfterIt) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Canceled", "Canceled."},
        {"ZeBUS address wrong", "ZeBUS address wrong."},
        {"Error 5", "Error 5."},
        {"Time interval is wrong.", "Time interval is wrong."},
        {"Stop!", "Stop!"},
        {"list, ", "list, "},
        {"a-", "a-"},
        {"'x' is not a valid integer value", "'x' is not a valid integer value."},
        {"Значение", "Значение."},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown)) << c.message;
    }
}

TEST_F(Window, DeviceActionsWaitWhileALongOperationRunsAndCloseCancelsIt) {
    link.answer = [](const QByteArray&) { return ClockReply({0x30, 0x14, 0x25, 0x12, 0x07, 'C'}); };
    face.BeginLongOperation();
    face.actGetTime->trigger();
    face.BitBtn6->click();
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(face.Status(), TFace::BusyNote());

    QSignalSpy closing(&face, &TFace::CloseAccepted);
    face.actExit->trigger();
    EXPECT_TRUE(face.isVisible());
    EXPECT_TRUE(face.CancelRequested());
    EXPECT_EQ(closing.count(), 0);

    face.EndLongOperation();
    EXPECT_FALSE(face.CancelRequested());
    QApplication::processEvents();
    EXPECT_FALSE(face.isVisible());
    EXPECT_EQ(closing.count(), 1);
}

TEST_F(Window, ProgressWindowShownOnlyWhileTheMenuItemIsChecked) {
    for (const bool checked : {true, false}) {
        face.NProgressCheck->setChecked(checked);
        const DeviceContext ctx = face.MakeDeviceContext();
        {
            ProgressGuard progress(ctx, 14);
            progress.Set(1);
            ASSERT_NE(face.FProgressBar, nullptr);
            EXPECT_EQ(face.FProgressBar->isVisible(), checked);
            EXPECT_EQ(face.FProgressBar->Gauge->MaxValue(), 14);
            EXPECT_EQ(face.FProgressBar->Gauge->PercentDone(), 7);
        }
        EXPECT_FALSE(face.FProgressBar->isVisible());
    }
}

TEST_F(Window, F1OpensTheHelpPageAtItsKeyword) {
    Focus(face.LE_DeviceAdr);
    QTest::keyClick(Focused(), Qt::Key_F1);
    auto* help = face.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->Browser()->source().fragment(), "ZIR-Soft");
    EXPECT_TRUE(help->Browser()->toPlainText().contains(QStringLiteral("Connecting an instrument")));
    EXPECT_EQ(face.LE_DeviceAdr->text(), "255.255.255");
}

// The help page describes the program as it behaves: responsive during a
// bank list or reading, other device actions refused with the status note.
TEST_F(Window, HelpPageSaysWhatTheProgramDoes) {
    face.ShowHelp();
    auto* help = face.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    const QString page = help->Browser()->toPlainText().simplified();
    EXPECT_TRUE(page.contains(TFace::BusyNote())) << "the note the operator sees";
    EXPECT_TRUE(page.contains(QStringLiteral("window stays responsive")));
    for (const char* untrue : {"the window does not react", "commands to the instrument wait"})
        EXPECT_FALSE(page.contains(QString::fromLatin1(untrue))) << untrue;
}

TEST_F(Window, NProgressCheckTogglesWhenChosen) {
    face.NProgressCheck->trigger();
    EXPECT_FALSE(face.NProgressCheck->isChecked());
    face.NProgressCheck->trigger();
    EXPECT_TRUE(face.NProgressCheck->isChecked());
}

TEST_F(Window, TimeFilterEditsKeepTheirColonAndFiveCharacters) {
    face.ME_TimeFrom->setEnabled(true);
    face.ME_TimeFrom->clear();
    Focus(face.ME_TimeFrom);
    face.ME_TimeFrom->home(false);
    QTest::keyClicks(face.ME_TimeFrom, QStringLiteral("0730"));
    EXPECT_EQ(face.ME_TimeFrom->text(), "07:30");
    EXPECT_LE(face.ME_TimeFrom->displayText().size(), 5);
}

} // namespace
} // namespace zir::test
