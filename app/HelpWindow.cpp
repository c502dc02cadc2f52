#include "app/HelpWindow.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace zir {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ZIR - Help"));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
}

void THelpWindow::ShowKeyword(const QString& keyword) {
    QUrl page(QStringLiteral("qrc:/zir/help/zir.html"));
    page.setFragment(keyword);
    browser_->setSource(page);
    browser_->scrollToAnchor(keyword);
    show();
    raise();
    activateWindow();
}

} // namespace zir
