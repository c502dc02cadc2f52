// The history window open while the main window reads zir-sim through a
// pseudo-terminal: the bank reading's records and a current reading appear
// in the plot as they are committed, without the window being opened again.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <cmath>

#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UHistory.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

class PlotOfReadings : public ::testing::Test {
protected:
    PlotOfReadings()
        : savedConfig_(qgetenv("XDG_CONFIG_HOME")),
          savedData_(qgetenv("XDG_DATA_HOME")),
          sim({"--no-pacing", "--clock", "2024-05-17 12:00", "--active-banks", "3", "--current-bank", "1"}) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        sim.LinkAsCom(config.path(), 1);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(appDir.path() + QLatin1Char('/'));
        face->RxSpinEdit_ComPort->setValue(1);
        face->CB_ComPort_Speed->setCurrentIndex(0);
        face->NProgressCheck->setChecked(false);
        face->show();
    }
    ~PlotOfReadings() override {
        face->SetDialogs(nullptr);
        face.reset();
        qputenv("XDG_CONFIG_HOME", savedConfig_);
        qputenv("XDG_DATA_HOME", savedData_);
    }

    // The distinct times of the points with values.
    static int Times(const QXYSeries* series) {
        QSet<qint64> times;
        for (const QPointF& p : series->points())
            if (!std::isnan(p.y())) times.insert(static_cast<qint64>(p.x()));
        return static_cast<int>(times.size());
    }

    QByteArray savedConfig_, savedData_;
    QTemporaryDir config, data, appDir;
    SimProcess sim;
    ScriptedDialogs dialogs;
    std::unique_ptr<TFace> face;
};

TEST_F(PlotOfReadings, ABankReadingAndACurrentReadingAppearInTheOpenPlot) {
    face->actHistory->trigger();
    THistory* history = face->FHistory;
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    // All of the history: nothing yet.
    QTest::mouseClick(history->BB_All, Qt::LeftButton);
    EXPECT_EQ(history->SeriesA->count(), 0);

    // Bank 1 (17 May), 08:00 to 08:09.
    face->CB_Bank->setEditText(BankEntryText(1, QDate(2024, 5, 17)));
    face->CB_TimeFrom->setChecked(true);
    face->CB_TimeTo->setChecked(true);
    face->ME_TimeFrom->setText("08:00");
    face->ME_TimeTo->setText("08:09");
    face->actGetBankN->trigger();
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
    const int records = static_cast<int>(history->Records().size());
    EXPECT_EQ(records, 10);
    EXPECT_EQ(history->RangeFrom(), QDateTime(QDate(2024, 5, 17), QTime(8, 0), Qt::UTC));
    int gaps = 0;
    for (std::size_t i = 0; i < history->Records().size(); ++i) gaps += history->Records().IsGap(i) ? 1 : 0;
    // In the plot (the span is long: the ten minutes share a pixel column,
    // which shows their minimum and maximum).
    EXPECT_GE(Times(history->SeriesA), 1);
    EXPECT_FALSE(history->AxisA->titleText().isEmpty());

    // A current reading (the computer's clock): a point of its own.
    face->actReadCurrent->trigger();
    ASSERT_EQ(face->Status(), "Current measures was written successfully");
    EXPECT_EQ(history->CurrentReadings().size(), 1u);
    EXPECT_EQ(history->CurrentA->count(), 1);
    EXPECT_EQ(history->CurrentB->count(), 1);
    // Zoomed in on the bank's minutes, each is a point of the line.
    history->ShowFromTo(QDateTime(QDate(2024, 5, 17), QTime(7, 55), Qt::UTC),
                        QDateTime(QDate(2024, 5, 17), QTime(8, 15), Qt::UTC));
    EXPECT_EQ(Times(history->SeriesA), records - gaps);
}

} // namespace
} // namespace zir::test
