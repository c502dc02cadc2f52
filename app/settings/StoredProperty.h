#pragma once
// One stored field of a window: a "Component.Property" entry resolved to the
// widget of that name and to the reading and setting of that property.
//
// Property names are those of the window design, mapped onto the widgets:
//   Text        QLineEdit text (a masked edit's text with its literals)
//   Value       QSpinBox / QDoubleSpinBox value, a real number in the
//               general number format (FloatToText: "65535", "0.5", "1E-5")
//   ItemIndex   QComboBox current index, -1 for no item
//   Checked     checkable QAbstractButton or QAction
//   Enabled     QWidget's or QAction's own enabled flag
//   ActivePage  QTabWidget current page, by its objectName

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QWidget;

namespace zir {

enum class PropertyKind { Text, WholeNumber, RealNumber, YesNo, ComponentReference };

struct StoredProperty {
    QString key; // "<component>_<Property>"
    PropertyKind kind = PropertyKind::Text;
    // The field's value in its written form; empty when there is nothing to
    // write (no page selected, or one that a restore could not select).
    std::function<QString()> written;
    // Sets the field from a value read back (blanks already removed). A value
    // that does not convert leaves the field as it is.
    std::function<void(const QString&)> restore;
};

// Resolves an entry against the form's components (found by objectName,
// ignoring case, as is the property). Nothing when the entry does not split
// into two non-empty names at its first ".", names no component, or names a
// property the component does not have.
std::optional<StoredProperty> ResolveStoredProperty(QWidget* form, const QString& entry);

// A value that begins and ends with the same quotation mark is enclosed in one
// more pair of double quotation marks, which a read takes off again.
QString QuotedForIni(const QString& value);

} // namespace zir
