// The main window's settings file: what a close writes, what a start brings
// back, and how damaged or foreign content is treated. Real TFace widgets
// under the offscreen platform, with an injected screen.
#include "app/UFace.h"
#include "app/settings/FormStorage.h"
#include "app/settings/IniFile.h"
#include "tests/app/ScriptedDialogs.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace zir::test {
namespace {

const ScreenInfo kScreen1024{QSize(1024, 768), 96, QRect(0, 0, 1024, 768)};
const ScreenInfo kScreen1280{QSize(1280, 1024), 96, QRect(0, 0, 1280, 1024)};
const QPoint kSystemPlace(10, 20); // where the "system" puts a new window

class FaceSettings : public ::testing::Test {
protected:
    FaceSettings() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path())); }

    QString IniPath() const {
        return home_.path() + QStringLiteral("/zir/") + QCoreApplication::applicationName() + ".INI";
    }

    void WriteIni(const QByteArray& text) {
        QDir().mkpath(home_.path() + "/zir");
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QByteArray IniText() const {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString Stored(const QString& key) const {
        IniFile ini(IniPath());
        ini.Load();
        return ini.ReadString("TFace", key, "<none>");
    }

    // A new start of the program: the window is created and shown.
    TFace& Start(const ScreenInfo& screen = kScreen1024) {
        face_ = std::make_unique<TFace>();
        face_->SetDialogs(&dialogs_);
        face_->FormStorage1->SetScreenProbe([screen] { return screen; });
        face_->move(kSystemPlace);
        face_->show();
        return *face_;
    }
    void Close() {
        face_->close();
        face_.reset();
    }

    QTemporaryDir home_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TFace> face_;
};

// The operator can reach the window: its top edge and a good part of it on the desktop.
bool InSight(const QRect& frame, const QRect& available) {
    const QRect seen = frame.intersected(available);
    return frame.top() >= available.top() && seen.width() >= std::min(100, frame.width()) &&
           seen.height() >= std::min(100, frame.height());
}

QStringList KeysOf(const QByteArray& text) {
    QStringList keys;
    for (const QByteArray& line : text.split('\n'))
        if (line.contains('=')) keys << QString::fromUtf8(line.left(line.indexOf('=')));
    return keys;
}

TEST_F(FaceSettings, FirstStartLeavesDefaultsAndCloseWritesEveryKeyInOrder) {
    TFace& face = Start();
    EXPECT_EQ(face.frameGeometry().topLeft(), kSystemPlace);
    EXPECT_EQ(face.LE_DeviceAdr->text(), "255.255.255");
    EXPECT_EQ(face.CB_ComPort_Speed->currentIndex(), -1);
    const QRect frame = face.frameGeometry();
    Close();

    const QString norm = QStringLiteral("%1,%2,%3,%4")
                             .arg(frame.left())
                             .arg(frame.top())
                             .arg(frame.left() + frame.width())
                             .arg(frame.top() + frame.height());
    const QByteArray expected =
        "[TFace]\n"
        "FormVersion=0\nFlags=0\nShowCmd=1\nPixelsPerInch=96\n"
        "MinMaxPos(1024x768)=-1,-1,-1,-1\nMinMaxPos=-1,-1,-1,-1\n"
        "NormPos(1024x768)=" +
        norm.toUtf8() + "\nNormPos=" + norm.toUtf8() +
        "\n"
        "Visible=0\n"
        "Edit_Razmernost_Text=\nPageControl1_ActivePage=TabSheet1\nLE_DeviceAdr_Text=255.255.255\n"
        "Edit_Koeff_K_Text=1\nEdit_Koeff_M_Text=1E-5\nEdit_Koeff_Porog_Text=1000\n"
        "RxSpEdit_Param_NN_Value=0\nRxSpEdit_Param_VCom_Value=0\nRxSpEdit_Param_Z_Value=0\n"
        "RxSpinEdit_Param_SN_Value=0\nCB_ComPort_Speed_ItemIndex=-1\n"
        "CB_ReadToFile_Checked=False\nCB_ToExcel_Checked=False\nCB_NoNull_Checked=False\n"
        "ME_TimeFrom_Text=00:00\nME_TimeTo_Text=23:59\nME_TimeTo_Enabled=False\nME_TimeFrom_Enabled=False\n"
        "CB_TimeFrom_Checked=False\nCB_TimeTo_Checked=False\nNProgressCheck_Checked=True\n"
        "RxSpinEdit_ComPort_Value=1\n";
    EXPECT_EQ(IniText(), expected);
    EXPECT_TRUE(dialogs_.errors.isEmpty());
}

TEST_F(FaceSettings, FieldsAndPositionComeBackAfterARestart) {
    TFace& face = Start();
    face.move(200, 150);
    face.Edit_Razmernost->setText(QString::fromUtf8("  мкЗв/ч  "));
    face.LE_DeviceAdr->setText("\"1.2.3\"");
    face.Edit_Koeff_K->setText("'2.5'");
    face.Edit_Koeff_M->setText("with  inner blanks");
    face.Edit_Koeff_Porog->setText("");
    face.RxSpinEdit_Param_SN->setValue(65535);
    face.RxSpEdit_Param_NN->setValue(255);
    face.RxSpEdit_Param_Z->setValue(6);
    face.RxSpEdit_Param_VCom->setValue(4);
    face.RxSpinEdit_ComPort->setValue(256);
    face.CB_ComPort_Speed->setCurrentIndex(2);
    face.CB_ToExcel->setChecked(true);
    face.CB_NoNull->setChecked(true);
    face.CB_TimeFrom->click(); // the operator enables the filter
    face.ME_TimeFrom->setText("07:05");
    face.NProgressCheck->setChecked(false);
    face.PageControl1->setCurrentWidget(face.TabSheet2);
    Close();
    EXPECT_EQ(Stored("RxSpinEdit_Param_SN_Value"), "65535");
    EXPECT_TRUE(IniText().contains("\nLE_DeviceAdr_Text=\"\"1.2.3\"\"\n"));

    TFace& back = Start();
    EXPECT_EQ(back.frameGeometry().topLeft(), QPoint(200, 150));
    EXPECT_EQ(back.Edit_Razmernost->text(), QString::fromUtf8("мкЗв/ч"));
    EXPECT_EQ(back.LE_DeviceAdr->text(), "\"1.2.3\"");
    EXPECT_EQ(back.Edit_Koeff_K->text(), "'2.5'");
    EXPECT_EQ(back.Edit_Koeff_M->text(), "with  inner blanks");
    EXPECT_EQ(back.Edit_Koeff_Porog->text(), "");
    EXPECT_EQ(back.RxSpinEdit_Param_SN->value(), 65535);
    EXPECT_EQ(back.RxSpEdit_Param_NN->value(), 255);
    EXPECT_EQ(back.RxSpEdit_Param_Z->value(), 6);
    EXPECT_EQ(back.RxSpEdit_Param_VCom->value(), 4);
    EXPECT_EQ(back.RxSpinEdit_ComPort->value(), 256);
    EXPECT_EQ(back.CB_ComPort_Speed->currentText(), "4800");
    EXPECT_TRUE(back.CB_ToExcel->isChecked());
    EXPECT_TRUE(back.CB_NoNull->isChecked());
    EXPECT_TRUE(back.CB_TimeFrom->isChecked());
    EXPECT_TRUE(back.ME_TimeFrom->isEnabled());
    EXPECT_EQ(back.ME_TimeFrom->text(), "07:05");
    EXPECT_FALSE(back.CB_TimeTo->isChecked());
    EXPECT_FALSE(back.ME_TimeTo->isEnabled());
    EXPECT_FALSE(back.NProgressCheck->isChecked());
    EXPECT_EQ(back.PageControl1->currentWidget(), back.TabSheet2);
    EXPECT_EQ(back.Status(), ""); // a page selected by the restore writes no page note
}

struct PlacementCase {
    const char* name;
    QByteArray keys;   // placement keys of the stored file
    ScreenInfo screen; // the screen at the new start
    QPoint expected;   // where the window's frame ends up
};

TEST_F(FaceSettings, PositionFollowsTheRulesOfThePlacementKeys) {
    const PlacementCase cases[] = {
        {"suffixed key of this screen wins",
         "NormPos(1024x768)=300,200,900,700\nNormPos=50,60,650,560\n",
         kScreen1024,
         {300, 200}},
        {"another screen size falls back to the plain key",
         "NormPos(1024x768)=300,200,900,700\nNormPos=50,60,650,560\n",
         kScreen1280,
         {50, 60}},
        {"a differing resolution leaves the window alone", "PixelsPerInch=120\nNormPos=300,200,900,700\n", kScreen1024,
         kSystemPlace},
        {"right not above left leaves the window alone", "NormPos=300,200,300,700\n", kScreen1024, kSystemPlace},
        {"right below left leaves the window alone", "NormPos=300,200,100,700\n", kScreen1024, kSystemPlace},
        {"no position keys leave the window alone", "Flags=0\nPixelsPerInch=96\n", kScreen1024, kSystemPlace},
        {"a missing word keeps the current right edge", "NormPos=300\n", kScreen1024, {300, kSystemPlace.y()}},
        {"words split at blanks too", "NormPos=  310 , 210,,999 999\n", kScreen1024, {310, 210}},
        {"partly off the desktop stays where it was", "NormPos=800,300,1400,800\n", kScreen1024, {800, 300}},
        {"a position off every screen comes back into view",
         "NormPos=5000,4000,5600,4500\n",
         kScreen1024,
         {-1, -1}}, // checked separately below
    };
    for (const PlacementCase& c : cases) {
        WriteIni("[TFace]\n" + c.keys);
        TFace& face = Start(c.screen);
        const QRect frame = face.frameGeometry();
        if (c.expected == QPoint(-1, -1)) {
            EXPECT_TRUE(InSight(frame, c.screen.available)) << c.name;
        } else {
            EXPECT_EQ(frame.topLeft(), c.expected) << c.name;
        }
        face_.reset();
    }
}

TEST_F(FaceSettings, ANewScreenSizeAddsItsOwnPairAndKeepsTheOld) {
    Start(kScreen1024).move(100, 110);
    Close();
    const QString at1024 = Stored("NormPos(1024x768)");

    TFace& face = Start(kScreen1280); // the plain pair brings the window back
    EXPECT_EQ(face.frameGeometry().topLeft(), QPoint(100, 110));
    face.move(400, 300);
    Close();
    EXPECT_EQ(Stored("NormPos(1024x768)"), at1024);
    EXPECT_TRUE(Stored("NormPos(1280x1024)").startsWith("400,300,"));
    EXPECT_EQ(Stored("NormPos"), Stored("NormPos(1280x1024)"));
    EXPECT_EQ(Stored("MinMaxPos(1280x1024)"), "-1,-1,-1,-1");
}

TEST_F(FaceSettings, ADifferingResolutionStillRestoresTheFields) {
    WriteIni("[TFace]\nPixelsPerInch=144\nNormPos=300,200,900,700\nLE_DeviceAdr_Text=1.2.3\n");
    TFace& face = Start();
    EXPECT_EQ(face.frameGeometry().topLeft(), kSystemPlace);
    EXPECT_EQ(face.LE_DeviceAdr->text(), "1.2.3");
}

TEST_F(FaceSettings, FormVersionBelowZeroSkipsTheRestoreAndTheNextSaveWritesEverything) {
    WriteIni("[TFace]\nFormVersion=-1\nNormPos=300,200,900,700\nLE_DeviceAdr_Text=1.2.3\n");
    TFace& face = Start();
    EXPECT_EQ(face.frameGeometry().topLeft(), kSystemPlace);
    EXPECT_EQ(face.LE_DeviceAdr->text(), "255.255.255");
    Close();
    EXPECT_EQ(Stored("FormVersion"), "0");
    EXPECT_EQ(Stored("LE_DeviceAdr_Text"), "255.255.255");
    EXPECT_EQ(KeysOf(IniText()).size(), 31);
}

TEST_F(FaceSettings, ReadToFileComesBackCheckedButDisabledUntilAutoRefresh) {
    WriteIni("[TFace]\nCB_ReadToFile_Checked=True\n");
    TFace& face = Start();
    EXPECT_TRUE(face.CB_ReadToFile->isChecked());
    EXPECT_FALSE(face.CB_ReadToFile->isEnabled());
    face.CB_Refresh->click();
    EXPECT_TRUE(face.CB_ReadToFile->isEnabled());
    EXPECT_TRUE(face.CB_ReadToFile->isChecked());
}

TEST_F(FaceSettings, TimeFilterBoxesSetTheirEditsAfterTheStoredEnabledStates) {
    // ME_TimeTo's stored state is overruled by its box, whose click handler
    // runs because its state changes; ME_TimeFrom's box does not change, so
    // its stored state stays.
    WriteIni(
        "[TFace]\nME_TimeTo_Enabled=False\nME_TimeFrom_Enabled=True\n"
        "CB_TimeFrom_Checked=False\nCB_TimeTo_Checked=True\nME_TimeTo_Text=12:30\n");
    TFace& face = Start();
    EXPECT_TRUE(face.CB_TimeTo->isChecked());
    EXPECT_TRUE(face.ME_TimeTo->isEnabled());
    EXPECT_EQ(face.ME_TimeTo->text(), "12:30");
    EXPECT_FALSE(face.CB_TimeFrom->isChecked());
    EXPECT_TRUE(face.ME_TimeFrom->isEnabled());
}

struct ValueCase {
    const char* line;
    std::function<bool(TFace&)> holds;
};

TEST_F(FaceSettings, ValuesThatDoNotConvertLeaveTheirFieldsAlone) {
    const ValueCase cases[] = {
        {"RxSpinEdit_Param_SN_Value=abc", [](TFace& f) { return f.RxSpinEdit_Param_SN->value() == 0; }},
        {"RxSpinEdit_Param_SN_Value=70000", [](TFace& f) { return f.RxSpinEdit_Param_SN->value() == 65535; }},
        {"RxSpinEdit_Param_SN_Value=1e300", [](TFace& f) { return f.RxSpinEdit_Param_SN->value() == 65535; }},
        {"RxSpinEdit_Param_SN_Value=12.6", [](TFace& f) { return f.RxSpinEdit_Param_SN->value() == 13; }},
        {"RxSpinEdit_Param_SN_Value=nan", [](TFace& f) { return f.RxSpinEdit_Param_SN->value() == 0; }},
        {"RxSpinEdit_ComPort_Value=0", [](TFace& f) { return f.RxSpinEdit_ComPort->value() == 1; }},
        {"RxSpinEdit_ComPort_Value=1,5", [](TFace& f) { return f.RxSpinEdit_ComPort->value() == 1; }},
        {"CB_ComPort_Speed_ItemIndex=7", [](TFace& f) { return f.CB_ComPort_Speed->currentIndex() == -1; }},
        {"CB_ComPort_Speed_ItemIndex=-1", [](TFace& f) { return f.CB_ComPort_Speed->currentIndex() == -1; }},
        {"CB_ComPort_Speed_ItemIndex=fast", [](TFace& f) { return f.CB_ComPort_Speed->currentIndex() == -1; }},
        {"CB_ComPort_Speed_ItemIndex=4", [](TFace& f) { return f.CB_ComPort_Speed->currentText() == "1200"; }},
        {"CB_NoNull_Checked=maybe", [](TFace& f) { return !f.CB_NoNull->isChecked(); }},
        {"CB_NoNull_Checked=tRUE", [](TFace& f) { return f.CB_NoNull->isChecked(); }},
        {"NProgressCheck_Checked=1", [](TFace& f) { return f.NProgressCheck->isChecked(); }},
        {"NProgressCheck_Checked=FALSE", [](TFace& f) { return !f.NProgressCheck->isChecked(); }},
        {"Edit_Koeff_K_Text=  3  ", [](TFace& f) { return f.Edit_Koeff_K->text() == "3"; }},
        {"Edit_Koeff_K_Text=", [](TFace& f) { return f.Edit_Koeff_K->text().isEmpty(); }},
    };
    for (const ValueCase& c : cases) {
        WriteIni(QByteArray("[TFace]\n") + c.line + "\n");
        EXPECT_TRUE(c.holds(Start())) << c.line;
        face_.reset();
    }
}

struct PageCase {
    const char* stored;
    bool selectsSecond;
    const char* savedAfter; // the key's value after the next save
};

TEST_F(FaceSettings, StoredPageNamesSelectAPageOrLeaveTheStoredName) {
    const PageCase cases[] = {
        {"TabSheet2", true, "TabSheet2"},
        {"tabsheet2", true, "TabSheet2"},
        {"Face.TabSheet2", true, "TabSheet2"},
        {"(null)", false, "(null)"},
        {"(NULL)", false, "(NULL)"},
        {"TabSheet9", false, "TabSheet9"},
        {"Face.TabSheet9", false, "Face.TabSheet9"},
        {"LE_DeviceAdr", false, "LE_DeviceAdr"},   // a component that is no page
        {"Nowhere.TabSheet2", false, "TabSheet1"}, // no such window: nothing happens
    };
    for (const PageCase& c : cases) {
        WriteIni(QByteArray("[TFace]\nPageControl1_ActivePage=") + c.stored + "\n");
        TFace& face = Start();
        EXPECT_EQ(face.PageControl1->currentWidget(), c.selectsSecond ? face.TabSheet2 : face.TabSheet1) << c.stored;
        EXPECT_EQ(face.Status(), "") << c.stored;
        Close();
        EXPECT_EQ(Stored("PageControl1_ActivePage"), c.savedAfter) << c.stored;
    }
    // Once the operator has selected a page, the page is written again.
    WriteIni("[TFace]\nPageControl1_ActivePage=TabSheet9\n");
    Start().PageControl1->setCurrentIndex(1);
    Close();
    EXPECT_EQ(Stored("PageControl1_ActivePage"), "TabSheet2");
}

TEST_F(FaceSettings, OtherSectionsUnknownKeysAndCommentsAreKept) {
    WriteIni(
        "; written by hand\n[Other]\nLE_DeviceAdr_Text=9.9.9\n\n[TFace]\nMyOwnKey=keep me\n"
        "LE_DeviceAdr_Text=1.2.3\n\n[Last]\nx=1\n");
    TFace& face = Start();
    EXPECT_EQ(face.LE_DeviceAdr->text(), "1.2.3");
    Close();
    const QByteArray text = IniText();
    EXPECT_TRUE(
        text.startsWith("; written by hand\n[Other]\nLE_DeviceAdr_Text=9.9.9\n\n[TFace]\nMyOwnKey=keep me\n"
                        "LE_DeviceAdr_Text=1.2.3\n"));
    EXPECT_TRUE(text.endsWith("RxSpinEdit_ComPort_Value=1\n\n[Last]\nx=1\n"));
}

TEST_F(FaceSettings, AFailedSaveShowsTheErrorAndTheWindowClosesAllTheSame) {
    // The settings folder cannot be made: a plain file stands in its way.
    QFile blocker(home_.path() + "/zir");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TFace& face = Start();
    EXPECT_TRUE(face.close());
    EXPECT_FALSE(face.isVisible());
    EXPECT_EQ(dialogs_.errors, QStringList{"Unable to write to " + IniPath() + "."});
    face.FormStorage1->FormDestroy(); // program end: no second error box
    EXPECT_EQ(dialogs_.errors.size(), 1);
}

TEST_F(FaceSettings, UnreadableSettingsNeverStopTheStart) {
    QDir().mkpath(IniPath()); // a folder in the file's place
    TFace& face = Start();
    EXPECT_TRUE(face.isVisible());
    EXPECT_EQ(face.LE_DeviceAdr->text(), "255.255.255");
    Close();
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
    EXPECT_EQ(dialogs_.errors.size(), 1);

    QByteArray junk;
    for (int i = 0; i < 4096; ++i) junk.append(static_cast<char>(i * 37 % 256));
    QDir().rmdir(IniPath());
    WriteIni(junk);
    Start();
    Close();
    EXPECT_TRUE(IniText().startsWith(junk));
    EXPECT_EQ(Stored("LE_DeviceAdr_Text"), "255.255.255");
}

TEST_F(FaceSettings, ARefusedCloseSavesNothingAndProgramEndSavesVisible) {
    TFace& face = Start();
    face.BeginLongOperation();
    EXPECT_FALSE(face.close()); // held back while the operation is cancelled
    EXPECT_FALSE(QFile::exists(IniPath()));
    face.EndLongOperation(); // closes as soon as the handler has returned
    QCoreApplication::processEvents();
    EXPECT_FALSE(face.isVisible());
    EXPECT_EQ(Stored("Visible"), "0");
    face_.reset();

    Start().FormStorage1->FormDestroy(); // program end without a close
    EXPECT_EQ(Stored("Visible"), "1");
}

TEST_F(FaceSettings, StoredPropsEntriesResolveByNameIgnoringCase) {
    TFace& face = Start();
    const std::pair<const char*, const char*> cases[] = {
        {"LE_DeviceAdr.Text", "LE_DeviceAdr_Text"},
        {" le_deviceadr . TEXT ", "LE_DeviceAdr_Text"},
        {"NProgressCheck.Checked", "NProgressCheck_Checked"},
        {"PageControl1.activepage", "PageControl1_ActivePage"},
        {"LE_DeviceAdr", nullptr},         // no property
        {".Text", nullptr},                // no component name
        {"LE_DeviceAdr.", nullptr},        // no property name
        {"Nothing.Text", nullptr},         // no such component
        {"LE_DeviceAdr.Caption", nullptr}, // no such property
        {"CB_Refresh.Text", nullptr},      // a property of another kind of component
        {"GB_Hidden.Checked", nullptr},    // a group box that cannot be checked
    };
    for (const auto& [entry, key] : cases) {
        const auto resolved = ResolveStoredProperty(&face, QString::fromLatin1(entry));
        ASSERT_EQ(resolved.has_value(), key != nullptr) << entry;
        if (resolved) {
            EXPECT_EQ(resolved->key, QString::fromLatin1(key)) << entry;
        }
    }
    EXPECT_EQ(face.FormStorage1->Properties().size(), 22u);
}

// Settings files as people leave them. Each case lays a file down, starts
// the program, lets the operator act, closes, and looks at what the start
// restored, what the close left in the file, and how many error boxes came.
struct LeftFileCase {
    const char* name;
    QByteArray file;                          // laid down as the settings file
    std::function<bool(TFace&)> restored;     // what the start brought back
    std::function<void(TFace&)> operatorDoes; // before the close; may be empty
    std::function<bool(const QByteArray& before, const QByteArray& after)> saved;
};

QByteArray Junk(qsizetype size) {
    QByteArray junk(size, '\0');
    for (qsizetype i = 0; i < size; ++i) junk[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
    return junk;
}

TEST_F(FaceSettings, FilesAsPeopleLeaveThemStartRestoreWhatTheyCanAndKeepTheRest) {
    const QString unknown(QChar::ReplacementCharacter);
    const auto inSight = [](TFace& f) { return InSight(f.frameGeometry(), kScreen1024.available); };
    const auto holds = [](const char* line) {
        return [line](const QByteArray&, const QByteArray& after) { return after.contains(line); };
    };
    const QByteArray twentyMegabytes = Junk(20 * 1024 * 1024);
    const LeftFileCase cases[] = {
        {"binary garbage",
         Junk(64 * 1024),
         [](TFace& f) { return f.LE_DeviceAdr->text() == "255.255.255"; },
         {},
         [](const QByteArray& before, const QByteArray& after) {
             return after.startsWith(before) && after.contains("\n[TFace]\nFormVersion=0\n");
         }},
        {"twenty megabytes before the section",
         twentyMegabytes + "\n[TFace]\nLE_DeviceAdr_Text=1.2.3\n",
         [](TFace& f) { return f.LE_DeviceAdr->text() == "1.2.3"; },
         {},
         [](const QByteArray& before, const QByteArray& after) {
             return after.startsWith(before) && after.endsWith("RxSpinEdit_ComPort_Value=1\n");
         }},
        {"Windows-1251 unit text of an older installation",
         "[TFace]\nEdit_Razmernost_Text=\xEC\xEA\xC7\xE2/\xF7\n",
         [unknown](TFace& f) { return f.Edit_Razmernost->text() == unknown.repeated(4) + "/" + unknown; },
         {},
         holds("\nEdit_Razmernost_Text=\xEC\xEA\xC7\xE2/\xF7\n")},
        {"Windows-1251 text the operator then changes",
         "[TFace]\nEdit_Razmernost_Text=\xEC\xEA\xC7\xE2\n",
         {},
         [](TFace& f) { f.Edit_Razmernost->setText(QString::fromUtf8("мкЗв/ч")); },
         holds("\nEdit_Razmernost_Text=\xD0\xBC\xD0\xBA\xD0\x97\xD0\xB2/\xD1\x87\n")},
        {"invalid UTF-8 in a text",
         "[TFace]\nEdit_Koeff_K_Text=\xFF\xC3(\n",
         [unknown](TFace& f) { return f.Edit_Koeff_K->text() == unknown + unknown + "("; },
         {},
         holds("\nEdit_Koeff_K_Text=\xFF\xC3(\n")},
        {"byte order mark and CR LF",
         "\xEF\xBB\xBF[TFace]\r\nLE_DeviceAdr_Text=1.2.3\r\n",
         [](TFace& f) { return f.LE_DeviceAdr->text() == "1.2.3"; },
         {},
         [](const QByteArray&, const QByteArray& after) {
             return after.startsWith("\xEF\xBB\xBF[TFace]\r\nLE_DeviceAdr_Text=1.2.3\r\n") &&
                    after.endsWith("\r\nRxSpinEdit_ComPort_Value=1\r\n") && after.count('\n') == after.count("\r\n");
         }},
        {"CR-only line ends",
         "[TFace]\rLE_DeviceAdr_Text=1.2.3\rCB_NoNull_Checked=True\r",
         [](TFace& f) { return f.LE_DeviceAdr->text() == "1.2.3" && f.CB_NoNull->isChecked(); },
         {},
         [](const QByteArray&, const QByteArray& after) {
             return !after.contains('\n') &&
                    after.startsWith("[TFace]\rLE_DeviceAdr_Text=1.2.3\rCB_NoNull_Checked=True\r");
         }},
        {"duplicate sections and keys: the first counts",
         "[TFace]\nLE_DeviceAdr_Text=1.2.3\nLE_DeviceAdr_Text=4.5.6\n[tface]\nCB_NoNull_Checked=True\n",
         [](TFace& f) { return f.LE_DeviceAdr->text() == "1.2.3" && !f.CB_NoNull->isChecked(); },
         {},
         [](const QByteArray&, const QByteArray& after) {
             return after.startsWith("[TFace]\nLE_DeviceAdr_Text=1.2.3\nLE_DeviceAdr_Text=4.5.6\n") &&
                    after.endsWith("RxSpinEdit_ComPort_Value=1\n[tface]\nCB_NoNull_Checked=True\n");
         }},
        {"lines without =",
         "[TFace]\nLE_DeviceAdr_Text 1.2.3\nCB_NoNull_Checked\n",
         [](TFace& f) { return f.LE_DeviceAdr->text() == "255.255.255" && !f.CB_NoNull->isChecked(); },
         {},
         [](const QByteArray&, const QByteArray& after) {
             return after.startsWith("[TFace]\nLE_DeviceAdr_Text 1.2.3\nCB_NoNull_Checked\nFormVersion=0\n");
         }},
        {"numbers beyond 32 bits",
         "[TFace]\nFormVersion=4294967296\nRxSpinEdit_ComPort_Value=99999999999\nCB_ComPort_Speed_ItemIndex="
         "4294967298\n"
         "NormPos=4294967396,4294967396,4294968000,4294968000\n",
         [](TFace& f) {
             return f.RxSpinEdit_ComPort->value() == 256 && f.CB_ComPort_Speed->currentIndex() == -1 &&
                    f.frameGeometry().topLeft() == kSystemPlace;
         },
         {},
         holds("\nFormVersion=0\n")},
        {"the least left and top",
         "[TFace]\nNormPos=-2147483648,-2147483648,-2147483548,-2147483548\n",
         inSight,
         {},
         holds("\nNormPos=-")},
        {"left and top near the greatest number",
         "[TFace]\nNormPos=2147483547,2147483547,2147483647,2147483647\n",
         inSight,
         {},
         holds("\nNormPos(1024x768)=")},
        {"the widest rectangle",
         "[TFace]\nNormPos=-2147483648,-2147483648,2147483647,2147483647\n",
         inSight,
         {},
         holds("\nNormPos=-")},
    };
    for (const LeftFileCase& c : cases) {
        WriteIni(c.file);
        dialogs_.errors.clear();
        TFace& face = Start();
        if (c.restored) {
            EXPECT_TRUE(c.restored(face)) << c.name;
        }
        if (c.operatorDoes) c.operatorDoes(face);
        Close();
        EXPECT_TRUE(c.saved(c.file, IniText())) << c.name;
        EXPECT_TRUE(dialogs_.errors.isEmpty()) << c.name;
    }
}

// A settings file made read-only (mode 0444) is the operator's lock: a close
// that would change it says once that it cannot, and the file keeps its
// bytes and its mode; a close that changes nothing says nothing.
TEST_F(FaceSettings, AReadOnlySettingsFileIsHonoured) {
    Start().LE_DeviceAdr->setText("1.2.3");
    Close();
    const QByteArray locked = IniText();
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(IniPath(), readOnly));

    TFace& same = Start();
    EXPECT_EQ(same.LE_DeviceAdr->text(), "1.2.3");
    Close();
    EXPECT_TRUE(dialogs_.errors.isEmpty());

    TFace& changed = Start();
    changed.LE_DeviceAdr->setText("4.5.6");
    EXPECT_TRUE(changed.close());
    changed.FormStorage1->FormDestroy(); // program end: no second box
    face_.reset();
    EXPECT_EQ(dialogs_.errors, QStringList{"Unable to write to " + IniPath() + "."});
    EXPECT_EQ(IniText(), locked);
    EXPECT_EQ(QFile::permissions(IniPath()) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), readOnly);
}

} // namespace
} // namespace zir::test
