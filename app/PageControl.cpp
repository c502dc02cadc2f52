#include "app/PageControl.h"

#include <QEvent>

namespace zir {

bool TPageTabBar::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::Shortcut: {
        ++operatorActing_;
        const bool done = QTabBar::event(event);
        --operatorActing_;
        return done;
    }
    default: return QTabBar::event(event);
    }
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), bar_(new TPageTabBar(this)) {
    setTabBar(bar_);
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (bar_->OperatorActing() || keyActing_) emit OperatorChangedPage(index);
    });
}

void TPageControl::keyPressEvent(QKeyEvent* event) {
    // Ctrl+Tab and Ctrl+PageUp/PageDown from inside a page.
    keyActing_ = true;
    QTabWidget::keyPressEvent(event);
    keyActing_ = false;
}

} // namespace zir
