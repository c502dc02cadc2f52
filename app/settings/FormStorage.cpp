#include "app/settings/FormStorage.h"

#include "app/settings/IniFile.h"
#include "core/Text.h"

namespace zir {

TFormStorage::TFormStorage(QWidget* form) : TFormPlacement(form) {}

void TFormStorage::Loaded() {
    properties_.clear();
    for (const QString& entry : StoredProps)
        if (auto property = ResolveStoredProperty(Form(), entry)) properties_.push_back(std::move(*property));
}

void TFormStorage::RestoreProperties(const IniFile& ini, const QString& section) {
    for (const StoredProperty& property : properties_) {
        // Each field on its own: one that fails stays as it was.
        try {
            const QString fallback = property.kind == PropertyKind::ComponentReference ? QString() : property.written();
            property.restore(TrimBlanksAndControls(ini.ReadString(section, property.key, fallback)).toString());
        } catch (const std::exception&) {}
    }
}

void TFormStorage::SaveProperties(IniFile& ini, const QString& section) {
    for (const StoredProperty& property : properties_) {
        const QString value = TrimBlanksAndControls(property.written()).toString();
        // Only a text is ever written empty: an empty page reference leaves
        // the stored one as it was.
        if (value.isEmpty() && property.kind != PropertyKind::Text) continue;
        ini.WriteString(section, property.key, QuotedForIni(value));
    }
}

} // namespace zir
