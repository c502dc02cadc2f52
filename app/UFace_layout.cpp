// The components of the main window: the top strip, both pages, the actions
// and the menus. Every component's objectName is its design name.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/PageControl.h"
#include "app/UFace.h"
#include "link/PortNaming.h"

namespace zir {

namespace {

// Multi-line hints are their lines joined by CR LF.
QString Lines(std::initializer_list<const char*> lines) {
    QStringList joined;
    for (const char* line : lines) joined << QString::fromUtf8(line);
    return joined.join(QStringLiteral("\r\n"));
}

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QGroupBox* Group(const char* name, const char* caption) {
    return Named(new QGroupBox(QString::fromUtf8(caption)), name);
}

QSpinBox* Spin(const char* name, int minimum, int maximum, int value, const QString& hint = {}) {
    auto* spin = Named(new QSpinBox, name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setToolTip(hint);
    return spin;
}

QLineEdit* Edit(const char* name, const QString& text, const QString& hint = {}) {
    auto* edit = Named(new QLineEdit(text), name);
    edit->setToolTip(hint);
    return edit;
}

QCheckBox* Check(const char* name, const char* caption, const QString& hint = {}) {
    auto* box = Named(new QCheckBox(QString::fromUtf8(caption)), name);
    box->setToolTip(hint);
    return box;
}

// A label that moves the focus to its control when its accelerator is pressed.
QLabel* BuddyLabel(const char* name, const char* caption, QWidget* buddy) {
    auto* label = Named(new QLabel(QString::fromUtf8(caption)), name);
    label->setBuddy(buddy);
    return label;
}

// A glyph button bound to an action: its own caption, the action's hint, the
// action's handler.
QPushButton* GlyphButton(const char* name, const char* caption, QAction* action, QStyle::StandardPixmap glyph) {
    auto* button = Named(new QPushButton(QString::fromUtf8(caption)), name);
    button->setIcon(QApplication::style()->standardIcon(glyph));
    button->setToolTip(action->toolTip());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

// A group box whose controls stand one below the other.
void Stack(QGroupBox* group, std::initializer_list<QWidget*> widgets) {
    auto* column = new QVBoxLayout(group);
    for (QWidget* widget : widgets) column->addWidget(widget);
}

// An edit with its label above it, as a labelled edit.
QVBoxLayout* Labelled(QLabel* label, QWidget* field) {
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(label);
    column->addWidget(field);
    return column;
}

// The time edits: hours (first digit optional), colon, minutes; the colon
// stays in the text, at most five characters.
QLineEdit* TimeEdit(const char* name, const char* text, const char* hint) {
    auto* edit = Edit(name, QString(), QString::fromUtf8(hint));
    edit->setInputMask(QStringLiteral("09:99;_"));
    edit->setText(QString::fromLatin1(text));
    edit->setMaxLength(5);
    edit->setEnabled(false);
    edit->setFixedWidth(48);
    return edit;
}

} // namespace

void TFace::BuildTopStrip(QWidget* client) {
    GroupBox1 = Group("GroupBox1", "COM-port");
    RxSpinEdit_ComPort = Spin("RxSpinEdit_ComPort", kMinPortNumber, kMaxPortNumber, 1);
    Label11 = BuddyLabel("Label11", "COM-&port №", RxSpinEdit_ComPort);
    CB_ComPort_Speed = Named(new QComboBox, "CB_ComPort_Speed");
    CB_ComPort_Speed->addItems({"19200", "9600", "4800", "2400", "1200"});
    CB_ComPort_Speed->setCurrentIndex(-1);
    CB_ComPort_Speed->setToolTip(QStringLiteral("Скорость COM-порта для обмена на компьютере"));
    {
        auto* grid = new QGridLayout(GroupBox1);
        grid->addWidget(Label11, 0, 0);
        grid->addWidget(RxSpinEdit_ComPort, 0, 1);
        grid->addWidget(CB_ComPort_Speed, 1, 0, 1, 2);
    }

    GroupBox2 = Group("GroupBox2", "ZIR Address (xxx.yyy.zzz)");
    LE_DeviceAdr = Edit("LE_DeviceAdr", QStringLiteral("255.255.255"), QStringLiteral("ZeBUS ADDRESS"));
    Stack(GroupBox2, {LE_DeviceAdr});

    Image1 = Named(new QLabel, "Image1");
    // The 216 x 95 logo in a 193 x 89 frame, proportions kept.
    Image1->setPixmap(
        QPixmap(QStringLiteral(":/zir/logo.png")).scaled(193, 89, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Image1->setFixedSize(193, 89);
    Image1->setAlignment(Qt::AlignCenter);

    auto* addressColumn = new QVBoxLayout;
    addressColumn->addWidget(GroupBox2);
    addressColumn->addStretch();

    auto* strip = new QHBoxLayout;
    strip->addWidget(GroupBox1, 0, Qt::AlignTop);
    strip->addLayout(addressColumn);
    strip->addWidget(Image1, 0, Qt::AlignTop);

    auto* pages = new TPageControl;
    PageControl1 = Named(pages, "PageControl1");
    PageControl1->addTab(BuildPageMode(), QStringLiteral("Change of operating mode"));
    PageControl1->addTab(BuildPageMeasured(), QStringLiteral("Measured data"));
    PageControl1->setCurrentWidget(TabSheet1);
    connect(pages, &TPageControl::OperatorChangedPage, this, [this] { RunGuarded([this] { PageControl1Change(); }); });

    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(8, 0, 8, 4);
    layout->addLayout(strip);
    layout->addWidget(PageControl1, 1);

    StatusBar = Named(new QStatusBar, "StatusBar");
    StatusBar->setSizeGripEnabled(false);
    setStatusBar(StatusBar);
}

QWidget* TFace::BuildPageMode() {
    TabSheet1 = Named(new QWidget, "TabSheet1");

    GroupBox3 = Group("GroupBox3", "Dimension");
    Edit_Razmernost = Edit("Edit_Razmernost", QString());
    Edit_Razmernost->setContextMenuPolicy(Qt::CustomContextMenu);
    BitBtn3 = GlyphButton("BitBtn3", "Save &Dimension to divice", actSetRazmernost, QStyle::SP_DialogSaveButton);
    Stack(GroupBox3, {Edit_Razmernost, BitBtn3});

    GroupBox6 = Group("GroupBox6", "Coefficients");
    Edit_Koeff_K = Edit("Edit_Koeff_K", QStringLiteral("1"), QStringLiteral("Sensitivity factor"));
    Edit_Koeff_M = Edit("Edit_Koeff_M", QStringLiteral("1E-5"), QStringLiteral("Dead time"));
    Edit_Koeff_Porog = Edit("Edit_Koeff_Porog", QStringLiteral("1000"), QStringLiteral("setpoint"));
    BitBtn5 = GlyphButton("BitBtn5", "Save &coefficients to device", actSetKoeff, QStyle::SP_DialogSaveButton);
    {
        auto* box = new QVBoxLayout(GroupBox6);
        box->addLayout(Labelled(BuddyLabel("Edit_Koeff_K_Label", "Factor &K", Edit_Koeff_K), Edit_Koeff_K));
        box->addLayout(Labelled(BuddyLabel("Edit_Koeff_M_Label", "Factor &M", Edit_Koeff_M), Edit_Koeff_M));
        box->addLayout(
            Labelled(BuddyLabel("Edit_Koeff_Porog_Label", "&Threshold", Edit_Koeff_Porog), Edit_Koeff_Porog));
        box->addWidget(BitBtn5);
    }

    GroupBox7 = Group("GroupBox7", "№ of channel");
    RxSpE_NumChanel =
        Spin("RxSpE_NumChanel", 1, 2, 1, Lines({"Number of channel", "1 - channel  \"A\"", "2 - channel \"B\""}));
    Stack(GroupBox7, {RxSpE_NumChanel});

    GB_Hidden = Group("GB_Hidden", "Parameters");
    RxSpinEdit_Param_SN = Spin("RxSpinEdit_Param_SN", 0, 65535, 0, QStringLiteral("Background information"));
    RxSpEdit_Param_NN = Spin("RxSpEdit_Param_NN", 0, 255, 0, QStringLiteral("Net address is used for exchange data"));
    RxSpEdit_Param_Z = Spin("RxSpEdit_Param_Z", 0, 6, 0,
                            Lines({"0 - charging off", "1 - 4.3V / 2.2mA", "2 - 4.3V / 1.1mA", "3 - 4.3V / 0.5mA",
                                   "4 - 3.6V / 1.8mA", "5 - 3.6V / 0.9mA", "6 - 3.6V / 0.4mA"}));
    RxSpEdit_Param_VCom =
        Spin("RxSpEdit_Param_VCom", 0, 4, 0, Lines({"0 - 19200", "1 - 9600", "2 - 4800", "3 - 2400", "4 - 1200"}));
    BitBtn4 = GlyphButton("BitBtn4", "Save &parameters to device", actSetParams, QStyle::SP_DialogSaveButton);
    BitBtn4->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    {
        auto* grid = new QGridLayout(GB_Hidden);
        grid->addWidget(BuddyLabel("Label7", "&Serial number", RxSpinEdit_Param_SN), 0, 0);
        grid->addWidget(RxSpinEdit_Param_SN, 0, 1);
        grid->addWidget(BuddyLabel("Label6", "&Net number", RxSpEdit_Param_NN), 1, 0);
        grid->addWidget(RxSpEdit_Param_NN, 1, 1);
        grid->addWidget(BuddyLabel("Label4", "&Charge parameter", RxSpEdit_Param_Z), 2, 0);
        grid->addWidget(RxSpEdit_Param_Z, 2, 1);
        grid->addWidget(BuddyLabel("Label5", "Exchange &rate index", RxSpEdit_Param_VCom), 3, 0);
        grid->addWidget(RxSpEdit_Param_VCom, 3, 1);
        grid->addWidget(BitBtn4, 4, 0, 1, 2);
    }
    GB_Hidden->setVisible(false);

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox3);
    left->addWidget(GroupBox6);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(GroupBox7);
    right->addWidget(GB_Hidden);
    right->addStretch();
    auto* page = new QHBoxLayout(TabSheet1);
    page->addLayout(left, 1);
    page->addLayout(right, 1);
    return TabSheet1;
}

QWidget* TFace::BuildPageMeasured() {
    TabSheet2 = Named(new QWidget, "TabSheet2");

    GroupBox4 = Group("GroupBox4", "Current data");
    CB_Refresh = Check("CB_Refresh", "Auto refresh", QStringLiteral("Auto read data by few time"));
    CB_ReadToFile = Check("CB_ReadToFile", "Read current data to file ZIR.txt",
                          QStringLiteral("Automatic read current data to file ZIR.txt"));
    CB_ReadToFile->setEnabled(false);
    RxSpE_AutoTime = Spin("RxSpE_AutoTime", 3, 1000000000, 10, QStringLiteral("Refreshing time by seconds"));
    auto* label3 = BuddyLabel("Label3", "Refreshing time, s", RxSpE_AutoTime);
    label3->setToolTip(RxSpE_AutoTime->toolTip());

    const auto channel = [](const char* group, const char* caption, QLineEdit*& dataField, const char* dataName,
                            const char* dataHint, QLineEdit*& uncertaintyField, const char* uncertaintyName,
                            const char* uncertaintyHint) {
        auto* box = Group(group, caption);
        dataField = Edit(dataName, QString(), QString::fromUtf8(dataHint));
        dataField->setReadOnly(true);
        uncertaintyField = Edit(uncertaintyName, QString(), QString::fromUtf8(uncertaintyHint));
        uncertaintyField->setReadOnly(true);
        auto* grid = new QGridLayout(box);
        grid->addWidget(BuddyLabel((std::string(dataName) + "_Label").c_str(), "Data", dataField), 0, 0);
        grid->addWidget(dataField, 1, 0);
        grid->addWidget(
            BuddyLabel((std::string(uncertaintyName) + "_Label").c_str(), "Uncertainty, %", uncertaintyField), 0, 1);
        grid->addWidget(uncertaintyField, 1, 1);
        return box;
    };
    GroupBox8 = channel("GroupBox8", "Channel A", LE_DataA, "LE_DataA", "Data of channel 1", LE_PogrA, "LE_PogrA",
                        "Uncertainty of channel 1");
    GroupBox9 = channel("GroupBox9", "Channel B", LE_DataB, "LE_DataB", "Data of channel 2", LE_PogrB, "LE_PogrB",
                        "Uncertainty of channel 2");
    BitBtn6 = GlyphButton("BitBtn6", "Read &Current data", actReadCurrent, QStyle::SP_BrowserReload);
    {
        auto* period = new QHBoxLayout;
        period->addWidget(label3);
        period->addWidget(RxSpE_AutoTime);
        period->addStretch();
        auto* box = new QVBoxLayout(GroupBox4);
        box->addWidget(CB_Refresh);
        box->addWidget(CB_ReadToFile);
        box->addLayout(period);
        box->addWidget(GroupBox8);
        box->addWidget(GroupBox9);
        box->addWidget(BitBtn6);
    }

    GroupBox5 = Group("GroupBox5", "Divice time");
    Edit_Time = Named(new QLabel(QStringLiteral("Reading was not made")), "Edit_Time");
    Edit_Time->setToolTip(QStringLiteral("Считанное из прибора текущее время и и ндекс банка данных"));
    Edit_Time->setTextInteractionFlags(Qt::TextSelectableByMouse);
    BitBtn1 = GlyphButton("BitBtn1", "Read &Time", actGetTime, QStyle::SP_BrowserReload);
    Stack(GroupBox5, {Edit_Time, BitBtn1});

    GroupBox10 = Group("GroupBox10", "Archive data");
    CB_Bank = Named(new QComboBox, "CB_Bank");
    CB_Bank->setEditable(true);
    CB_Bank->setToolTip(QStringLiteral("Use double click for refresh list"));
    CB_Bank->setMinimumContentsLength(14);
    ME_TimeFrom = TimeEdit("ME_TimeFrom", "00:00", "time of begin");
    ME_TimeTo = TimeEdit("ME_TimeTo", "23:59", "time of end");
    CB_TimeFrom = Check("CB_TimeFrom", "Filter");
    CB_TimeFrom->setFocusPolicy(Qt::ClickFocus);
    CB_TimeTo = Check("CB_TimeTo", "Filter");
    CB_TimeTo->setFocusPolicy(Qt::ClickFocus);
    CB_ToExcel = Check("CB_ToExcel", "Read archive to &Excel", QStringLiteral("Export archive to Excel"));
    CB_ToFile = Check("CB_ToFile", "Read archive to &file", QStringLiteral("Export archive to file"));
    CB_NoNull = Check("CB_NoNull", "Don't read empty records", QStringLiteral("Skip empty records"));
    BitBtn7 = GlyphButton("BitBtn7", "Read Data &Bank", actGetBankN, QStyle::SP_ArrowDown);
    {
        auto* grid = new QGridLayout(GroupBox10);
        grid->addWidget(BuddyLabel("Label1", "Data bank:", CB_Bank), 0, 0);
        grid->addWidget(CB_Bank, 0, 1, 1, 2);
        grid->addWidget(BuddyLabel("Label9", "from", ME_TimeFrom), 1, 0);
        grid->addWidget(ME_TimeFrom, 1, 1);
        grid->addWidget(CB_TimeFrom, 1, 2);
        grid->addWidget(BuddyLabel("Label10", "to", ME_TimeTo), 2, 0);
        grid->addWidget(ME_TimeTo, 2, 1);
        grid->addWidget(CB_TimeTo, 2, 2);
        grid->addWidget(CB_ToExcel, 3, 0, 1, 3);
        grid->addWidget(CB_ToFile, 4, 0, 1, 3);
        grid->addWidget(CB_NoNull, 5, 0, 1, 3);
        grid->addWidget(BitBtn7, 6, 0, 1, 3);
        grid->setColumnStretch(2, 1);
    }

    auto* right = new QVBoxLayout;
    right->addWidget(GroupBox5);
    right->addWidget(GroupBox10);
    right->addStretch();
    auto* page = new QHBoxLayout(TabSheet2);
    page->addWidget(GroupBox4, 1, Qt::AlignTop);
    page->addLayout(right, 1);
    return TabSheet2;
}

void TFace::BuildActions() {
    const auto make = [this](const char* name, const char* caption, const char* hint, const char* category,
                             const QKeySequence& shortcut = {}) {
        auto* action = Named(new QAction(QString::fromUtf8(caption), this), name);
        action->setToolTip(QString::fromUtf8(hint));
        action->setProperty("Category", QString::fromUtf8(category));
        action->setShortcut(shortcut);
        // Window-wide, before the focused control sees the key.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    actGetTime = make("actGetTime", "Read &Time", "Read device time", "Device", QKeySequence(Qt::CTRL | Qt::Key_T));
    actAbout = make("actAbout", "About", "About window", "", QKeySequence(Qt::CTRL | Qt::Key_A));
    actExit = make("actExit", "E&xit", "Finish program", "", QKeySequence(Qt::CTRL | Qt::Key_X));
    actSetRazmernost =
        make("actSetRazmernost", "Save &Dimension to divice", "Write Dimensionality to device", "Device");
    actSetKoeff = make("actSetKoeff", "Save &Coefficients to device", "Write Coefficients to device", "Device");
    actSetParams = make("actSetParams", "Save &Parameters to device", "Write Parameters to device", "Device");
    actReadCurrent = make("actReadCurrent", "Read &Current data", "Read current data from device", "Device");
    actGetBankN = make("actGetBankN", "Read Data &Bank", "Read Data Bank", "Device");
    actRefreshBanks = make("actRefreshBanks", "&Refresh data bank list", "Refresh data bank list", "Device");
    actReadAll = make("actReadAll", "Read all data from archive", "Read all data from archive", "Device");
    actHistory = make("actHistory", "&History...", "Plot, day statistics, import and export of the history", "",
                      QKeySequence(Qt::CTRL | Qt::Key_H));
    actSerialPorts = make("actSerialPorts", "Serial &ports...", "Serial devices and their COM numbers", "");
    actLineMonitor = make("actLineMonitor", "&Line monitor...", "Every frame on the line, with verdicts and counters",
                          "", QKeySequence(Qt::CTRL | Qt::Key_L));

    NProgressCheck =
        Named(new QAction(QStringLiteral("Show progressbar while refresh is doing"), this), "NProgressCheck");
    NProgressCheck->setCheckable(true);
    NProgressCheck->setChecked(true);
}

void TFace::BuildMenus() {
    N1 = Named(new QMenu(QStringLiteral("&Service"), this), "N1");
    N1->setToolTipsVisible(true);
    N1->addAction(NProgressCheck);
    N1->addSeparator();
    N1->addAction(actGetTime);
    N1->addAction(actReadCurrent);
    N1->addSeparator();
    N1->addAction(actRefreshBanks);
    N1->addAction(actGetBankN);
    N1->addSeparator();
    N1->addAction(actReadAll);
    // The group of the windows beyond the original's, between the archive
    // and E&xit; the context menu has the same group.
    N1->addSeparator();
    N1->addAction(actHistory);
    N1->addAction(actSerialPorts);
    N1->addAction(actLineMonitor);
    N1->addSeparator();
    N1->addAction(actExit);
    auto* mainMenu = Named(new QMenuBar(this), "MainMenu1");
    mainMenu->addMenu(N1);
    mainMenu->addAction(actAbout); // N3, on the menu bar itself
    setMenuBar(mainMenu);

    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    PopupMenu1->setToolTipsVisible(true);
    PopupMenu1->addAction(actAbout);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actGetTime);
    PopupMenu1->addAction(actReadCurrent);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actRefreshBanks);
    PopupMenu1->addAction(actGetBankN);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actReadAll);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actHistory);
    PopupMenu1->addAction(actSerialPorts);
    PopupMenu1->addAction(actLineMonitor);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actExit);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(mapToGlobal(at)); });

    PopupMenu_Razmernost = Named(new QMenu(this), "PopupMenu_Razmernost");
    N11 = Named(PopupMenu_Razmernost->addAction(QStringLiteral("Add special symbol \"micro\"")), "N11");
    N12 = Named(PopupMenu_Razmernost->addAction(QStringLiteral("Add special symbol \"plus,minus\"")), "N12");
    N13 = Named(PopupMenu_Razmernost->addAction(QStringLiteral("Add special symbol \"square\"")), "N13");
    N14 = Named(PopupMenu_Razmernost->addAction(QStringLiteral("Add special symbol \"/h\"")), "N14");
    connect(Edit_Razmernost, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu_Razmernost->popup(Edit_Razmernost->mapToGlobal(at)); });
}

} // namespace zir
