// The line monitor of the main window.
#include "app/AppEnvironment.h"
#include "app/UFace.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/ULineMonitor.h"
#include "link/Exchange.h"

namespace zir {

void TFace::CreateLineEventLog() {
    LineEventLog = new TLineEventLog(this);
    LineEventLog->setObjectName(QStringLiteral("LineEventLog"));
    exchange_->SetObserver(LineEventLog);
}

TLineMonitor* TFace::LineMonitorWindow() {
    if (!LineMonitor) {
        LineMonitor = new TLineMonitor(*LineEventLog, Dialogs(), this);
        LineMonitor->setFont(DesignFont());
    }
    return LineMonitor;
}

void TFace::actLineMonitorExecute() { LineMonitorWindow()->ShowModeless(); }

} // namespace zir
