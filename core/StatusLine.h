#pragma once
// The one-line status of the main window, as every operation reports to it.

#include <QString>

namespace zir {

class IStatusLine {
public:
    virtual ~IStatusLine() = default;
    virtual void SetStatus(const QString& text) = 0;
    virtual QString Status() const = 0;
};

} // namespace zir
