#pragma once
// TFormStorage: the window's placement (TFormPlacement) plus the fields named
// in StoredProps, each kept under the key "<component>_<Property>" in list
// order after the placement keys.

#include "app/settings/FormPlacement.h"
#include "app/settings/StoredProperty.h"

#include <QStringList>

#include <vector>

namespace zir {

class TFormStorage : public TFormPlacement {
    Q_OBJECT

public:
    explicit TFormStorage(QWidget* form);

    // "Component.Property" entries; resolved once, when Attach() runs.
    QStringList StoredProps;

    // The entries that resolved, in list order.
    const std::vector<StoredProperty>& Properties() const { return properties_; }

protected:
    void Loaded() override;
    void RestoreProperties(const IniFile& ini, const QString& section) override;
    void SaveProperties(IniFile& ini, const QString& section) override;

private:
    std::vector<StoredProperty> properties_;
};

} // namespace zir
