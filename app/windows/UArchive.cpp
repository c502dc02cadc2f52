#include "app/windows/UArchive.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSaveFile>
#include <QVBoxLayout>
#include <utility>

#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "app/windows/CachedPaint.h"
#include "core/Cp1251.h"
#include "core/Errors.h"

namespace zir {

TArchive::TArchive(IDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(&dialogs), linePacer_([this] { MovePendingLines(); }) {
    setObjectName(QStringLiteral("Archive"));
    setWindowTitle(QStringLiteral("Archive"));
    resize(361, 285);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setUniformItemSizes(true);
    // Whole lines, scrolled sideways to the longest: every row is measured
    // as wide as the widest line (see TakeLine).
    ListBox->setTextElideMode(Qt::ElideNone);
    ListBox->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    // Every new line repaints the visible rows and both bars; they are
    // copied, not painted again.
    rowPainter_ = new TCachedRowDelegate(ListBox);
    ListBox->setItemDelegate(rowPainter_);
    ListBox->setVerticalScrollBar(new TCachedScrollBar(Qt::Vertical));
    ListBox->setHorizontalScrollBar(new TCachedScrollBar(Qt::Horizontal));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(19);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Summary = new QLabel(Panel1);
    Summary->setObjectName(QStringLiteral("Summary"));
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 0, 4, 0);
    panelLayout->addWidget(Summary);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ListBox);
    layout->addWidget(Panel1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N2 = PopupMenu1->addAction(QStringLiteral("О&чиcтить список"));
    N2->setObjectName(QStringLiteral("N2"));
    N1 = PopupMenu1->addAction(QStringLiteral("Сохранить в &файл"));
    N1->setObjectName(QStringLiteral("N1"));
    connect(N2, &QAction::triggered, this, [this] { Guarded([this] { N2Click(); }); });
    connect(N1, &QAction::triggered, this, [this] { Guarded([this] { N1Click(); }); });
    ListBox->installEventFilter(this);
    connect(ListBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListBox->viewport()->mapToGlobal(at)); });
}

void TArchive::AddLine(const QString& line) {
    pendingLines_ << line;
    linePacer_.RequestLater();
}

void TArchive::MovePendingLines() {
    if (pendingLines_.isEmpty()) return;
    const QFontMetrics metrics = ListBox->fontMetrics();
    for (const QString& line : std::as_const(pendingLines_)) rowPainter_->TakeLine(line, metrics);
    ListBox->addItems(pendingLines_);
    pendingLines_.clear();
    // Every insertion throws the list's item layout away and only schedules
    // a new one, which runs after the next paint. While a reading adds lines
    // between passes of the event loop, every paint would then find no
    // layout and show an empty list until the reading ends.
    if (ListBox->isVisible()) ListBox->doItemsLayout();
}

void TArchive::ShowPendingLines() { linePacer_.Flush(); }

void TArchive::PaintIfDue() {
    if (linePacer_.PaintIfDue() && isVisible()) QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

QStringList TArchive::Lines() const {
    QStringList lines;
    lines.reserve(ListBox->count() + pendingLines_.size());
    for (int i = 0; i < ListBox->count(); ++i) lines << ListBox->item(i)->text();
    lines += pendingLines_;
    return lines;
}

void TArchive::SetSummary(const QString& text) { Summary->setText(text); }

void TArchive::ShowModeless() {
    ShowPendingLines();
    show();
    raise();
    activateWindow();
}

void TArchive::FormKeyPress(QChar key) {
    if (key.unicode() != 27) return;
    if (dialogs_->ConfirmWarning(QStringLiteral("Would you like to close window?"))) close();
}

void TArchive::N1Click() {
    const QString path = dialogs_->GetSaveFileName();
    if (path.isEmpty()) return;
    SaveLinesToFile(Lines(), path);
}

void TArchive::N2Click() {
    pendingLines_.clear();
    ListBox->clear();
    rowPainter_->ClearLines();
}

void TArchive::keyPressEvent(QKeyEvent* event) {
    PreviewKey(event);
    QWidget::keyPressEvent(event);
}

bool TArchive::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        PreviewKey(key);
        // Escape means nothing else to the list; keep it from reaching the
        // window a second time.
        if (key->key() == Qt::Key_Escape) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TArchive::PreviewKey(const QKeyEvent* event) {
    const QChar key = event->key() == Qt::Key_Escape ? QChar(27)
                      : event->text().isEmpty()      ? QChar()
                                                     : event->text().at(0);
    if (!key.isNull()) Guarded([this, key] { FormKeyPress(key); });
}

void TArchive::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        dialogs_->ShowError(ErrorBoxText(ExceptionMessage(error)));
    }
}

void SaveLinesToFile(const QStringList& lines, const QString& path) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += UnicodeToCp1251Replacing(line);
        bytes += "\r\n";
    }
    SaveBytesToFile(bytes, path);
}

void SaveBytesToFile(const QByteArray& bytes, const QString& path) {
    const QString fullName = QFileInfo(path).absoluteFilePath();
    QSaveFile file(fullName);
    // A file in a folder we may not create files in is still replaced in place.
    file.setDirectWriteFallback(true);
    const auto fail = [&](const QString& reason) {
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(fullName, reason));
    };
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
    if (file.write(bytes) != bytes.size()) fail(file.errorString());
    if (!file.commit()) fail(file.errorString());
}

} // namespace zir
