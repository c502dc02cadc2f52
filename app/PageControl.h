#pragma once
// A page control that tells a change the operator made (mouse, keys, page
// accelerators) from one made by the program (the settings restore).

#include <QTabBar>
#include <QTabWidget>

namespace zir {

class TPageTabBar : public QTabBar {
    Q_OBJECT

public:
    using QTabBar::QTabBar;
    bool OperatorActing() const { return operatorActing_ > 0; }

protected:
    bool event(QEvent* event) override;

private:
    int operatorActing_ = 0;
};

class TPageControl : public QTabWidget {
    Q_OBJECT

public:
    explicit TPageControl(QWidget* parent = nullptr);

signals:
    // The operator selected another page.
    void OperatorChangedPage(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TPageTabBar* bar_;
    bool keyActing_ = false;
};

} // namespace zir
