#include "app/AppEnvironment.h"

#include <QFontDatabase>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitZirResources() { Q_INIT_RESOURCE(zir); }

namespace zir {

void InitResources() {
    static const bool done = (InitZirResources(), true);
    (void)done;
}

QFont DesignFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

} // namespace zir
