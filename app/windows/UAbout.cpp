#include "app/windows/UAbout.h"

#include "app/AppEnvironment.h"
#include "core/Version.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace zir {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint) {
    InitResources();
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setMinimumSize(281, 169);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/zir/logo.png")));
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setFixedSize(145, 65);

    const auto makeLabel = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    ProductName = makeLabel("ProductName", QStringLiteral("ZIR-Soft"));
    Version = makeLabel("Version", QStringLiteral("Version ") + QLatin1String(kVersion));
    Copyright = makeLabel("Copyright", QStringLiteral("Copyright © \"Nera\". All rights reserved."));
    Comments =
        makeLabel("Comments", QStringLiteral("program is designed to communicate with the device ZIR by \"Nera\""));
    Comments->setWordWrap(true);

    auto* names = new QVBoxLayout;
    names->addWidget(ProductName);
    names->addSpacing(12);
    names->addWidget(Version);
    names->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(names);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(8, 8, 8, 8);
    panelLayout->addLayout(top);
    panelLayout->addSpacing(8);
    panelLayout->addWidget(Copyright);
    panelLayout->addSpacing(8);
    panelLayout->addWidget(Comments);
    panelLayout->addStretch();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setFixedSize(75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    // Designed as 298 x 220; wider fonts may need a little more room.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace zir
