#include "app/windows/UArchive.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSaveFile>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "core/Cp1251.h"
#include "core/Errors.h"

namespace zir {

// Sizes every line as wide as the widest line of the list. The list measures
// a single line for all of them (uniform item sizes keep a day of 1440 lines
// cheap to lay out); a wider line would be cut with "..." and the list would
// not scroll sideways to its end.
class WholeLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void Take(const QString& line, const QFontMetrics& metrics) {
        if (metrics.horizontalAdvance(line) > metrics.horizontalAdvance(widest_)) widest_ = line;
    }
    void Clear() { widest_.clear(); }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        if (item.fontMetrics.horizontalAdvance(widest_) > item.fontMetrics.horizontalAdvance(item.text))
            item.text = widest_;
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        return style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), item.widget);
    }

private:
    QString widest_;
};

TArchive::TArchive(IDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(&dialogs) {
    setObjectName(QStringLiteral("Archive"));
    setWindowTitle(QStringLiteral("Archive"));
    resize(361, 285);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setUniformItemSizes(true);
    // Whole lines, scrolled sideways to the longest.
    ListBox->setTextElideMode(Qt::ElideNone);
    ListBox->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lineDelegate_ = new WholeLineDelegate(ListBox);
    ListBox->setItemDelegate(lineDelegate_);
    ListBox->setContextMenuPolicy(Qt::CustomContextMenu);

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
    lineDelegate_->Take(line, ListBox->fontMetrics());
    ListBox->addItem(line);
    // Every insertion throws the list's item layout away and only schedules
    // a new one, which runs after the next paint. While a reading adds a line
    // between each two passes of the event loop, every paint would then find
    // no layout and show an empty list until the reading ends.
    if (ListBox->isVisible()) ListBox->doItemsLayout();
}

QStringList TArchive::Lines() const {
    QStringList lines;
    lines.reserve(ListBox->count());
    for (int i = 0; i < ListBox->count(); ++i) lines << ListBox->item(i)->text();
    return lines;
}

void TArchive::SetSummary(const QString& text) { Summary->setText(text); }

void TArchive::ShowModeless() {
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
    ListBox->clear();
    lineDelegate_->Clear();
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
                      : event->text().isEmpty()       ? QChar()
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
