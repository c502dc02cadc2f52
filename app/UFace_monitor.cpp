// The line monitor of the main window.
#include "app/AppEnvironment.h"
#include "app/UFace.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/ULineMonitor.h"
#include "core/Clock.h"
#include "link/Exchange.h"

namespace zir {

void TFace::CreateLineEventLog() {
    LineEventLog = new TLineEventLog(*clock_, this);
    LineEventLog->setObjectName(QStringLiteral("LineEventLog"));
    exchange_->SetObserver(LineEventLog);
}

TLineMonitor* TFace::LineMonitorWindow() {
    if (!LineMonitor) {
        // Without a parent: a child window would always stay above the main
        // window and could cover it.
        lineMonitor_ = std::make_unique<TLineMonitor>(*LineEventLog, Dialogs());
        LineMonitor = lineMonitor_.get();
        LineMonitor->setFont(DesignFont());
    }
    return LineMonitor;
}

void TFace::actLineMonitorExecute() { LineMonitorWindow()->ShowModeless(); }

} // namespace zir
