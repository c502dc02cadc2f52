// The archive list window's bottom panel after a reading: how many of the
// minutes asked for answered, for one bank and for the whole archive.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <set>

#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/archive/ArchiveFakes.h"

namespace zir::test {
namespace {

const QDate kDay(2024, 5, 17);

struct PanelCase {
    const char* name;
    bool wholeArchive;
    std::set<QByteArray> silent; // record requests without a reply
    QString panel;
    int lines;
};

TEST(ArchivePanel, TellsHowManyMinutesWereRead) {
    const PanelCase cases[] = {
        {"one bank, every minute", false, {}, "10 of 10 minutes read", 10},
        {"one bank, two minutes silent", false, {"B0482", "B0485"}, "8 of 10 minutes read", 8},
        {"whole archive of two banks, one minute silent", true, {"A0481"}, "19 of 20 minutes read", 19},
        {"one bank, no minute answers",
         false,
         {"B0480", "B0481", "B0482", "B0483", "B0484", "B0485", "B0486", "B0487", "B0488", "B0489"},
         "0 of 10 minutes read",
         0},
    };
    for (const PanelCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir config, data;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        FakeDeviceLink link;
        link.answer = AnsweringWith([&](const QByteArray& request) -> std::optional<QByteArray> {
            if (request == "AV") return HeaderData('A', 0x16, 0x05, 0x24);
            if (request == "BV") return HeaderData('B', 0x17, 0x05, 0x24);
            if (request.size() == 5 && !c.silent.count(request))
                return RecordData(request[0], request.mid(1).toInt(), 0x0400 | 5, 3, 7, 4);
            return std::nullopt;
        });
        ScriptedDialogs dialogs;
        TFace face;
        face.SetDialogs(&dialogs);
        face.SetDeviceLink(&link);
        face.SetAppDir(data.path() + u'/');
        face.NProgressCheck->setChecked(false);
        face.CB_TimeFrom->click();
        face.CB_TimeTo->click();
        face.ME_TimeFrom->setText("08:00");
        face.ME_TimeTo->setText("08:09");
        face.CB_Bank->setEditText(BankEntryText(1, kDay));
        (c.wholeArchive ? face.actReadAll : face.actGetBankN)->trigger();

        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
        EXPECT_EQ(face.ArchiveWindow()->Summary->text(), c.panel);
        EXPECT_EQ(face.ArchiveWindow()->Lines().size(), c.lines);
        face.SetDialogs(nullptr);
        face.SetDeviceLink(nullptr);
    }
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace zir::test
