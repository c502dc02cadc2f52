#pragma once
// The program's help page, bundled with it, in a window of its own.

#include <QWidget>

class QTextBrowser;

namespace zir {

class THelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows the page scrolled to the anchor named `keyword`.
    void ShowKeyword(const QString& keyword);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

} // namespace zir
