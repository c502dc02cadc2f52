#include "app/settings/StoredProperty.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include <cmath>

#include "core/NumberText.h"
#include "core/Text.h"

namespace zir {

QString QuotedForIni(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first) return u'"' + value + u'"';
    }
    return value;
}

namespace {

QObject* FindComponent(QObject* owner, const QString& name) {
    const auto children = owner->findChildren<QObject*>();
    for (QObject* child : children)
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) return child;
    return nullptr;
}

std::optional<bool> ParseYesNo(const QString& value) {
    if (value.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
    if (value.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
    return std::nullopt;
}

QString YesNo(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

std::optional<double> ParseReal(const QString& value) {
    bool ok = false;
    const double number = value.toDouble(&ok); // "." is the decimal separator
    if (!ok || !std::isfinite(number)) return std::nullopt;
    return number;
}

StoredProperty TextOf(QLineEdit* edit) {
    QPointer<QLineEdit> field(edit);
    return {QString(), PropertyKind::Text,
            [field] { return field ? TrimBlanksAndControls(field->text()).toString() : QString(); },
            [field](const QString& value) {
                if (field) field->setText(value);
            }};
}

StoredProperty ValueOf(QSpinBox* spin) {
    QPointer<QSpinBox> field(spin);
    return {QString(), PropertyKind::RealNumber, [field] { return field ? FloatToText(field->value()) : QString(); },
            [field](const QString& value) {
                const auto number = ParseReal(value);
                if (!field || !number) return;
                // Kept within the field's range before it becomes a whole number.
                const double bounded = std::clamp(*number, double(field->minimum()), double(field->maximum()));
                field->setValue(static_cast<int>(std::lround(bounded)));
            }};
}

StoredProperty ValueOf(QDoubleSpinBox* spin) {
    QPointer<QDoubleSpinBox> field(spin);
    return {QString(), PropertyKind::RealNumber, [field] { return field ? FloatToText(field->value()) : QString(); },
            [field](const QString& value) {
                const auto number = ParseReal(value);
                if (field && number) field->setValue(*number);
            }};
}

StoredProperty ItemIndexOf(QComboBox* combo) {
    QPointer<QComboBox> field(combo);
    return {QString(), PropertyKind::WholeNumber,
            [field] { return field ? QString::number(field->currentIndex()) : QString(); },
            [field](const QString& value) {
                bool ok = false;
                const int index = value.toInt(&ok, 10);
                if (!field || !ok) return;
                // An index outside the list selects no item.
                field->setCurrentIndex(index >= 0 && index < field->count() ? index : -1);
            }};
}

StoredProperty CheckedOf(QAbstractButton* button) {
    QPointer<QAbstractButton> field(button);
    return {QString(), PropertyKind::YesNo, [field] { return field ? YesNo(field->isChecked()) : QString(); },
            [field](const QString& value) {
                const auto checked = ParseYesNo(value);
                if (!field || !checked || field->isChecked() == *checked) return;
                field->setChecked(*checked);
                // A box whose state changes runs its click handler, as a click
                // would, also while it is disabled.
                if (field) emit field->clicked(*checked);
            }};
}

StoredProperty CheckedOf(QAction* action) {
    QPointer<QAction> field(action);
    return {QString(), PropertyKind::YesNo, [field] { return field ? YesNo(field->isChecked()) : QString(); },
            [field](const QString& value) {
                const auto checked = ParseYesNo(value);
                if (field && checked) field->setChecked(*checked);
            }};
}

StoredProperty EnabledOf(QWidget* widget) {
    QPointer<QWidget> field(widget);
    // The widget's own flag, whatever its parents are.
    return {QString(), PropertyKind::YesNo,
            [field] { return field ? YesNo(!field->testAttribute(Qt::WA_ForceDisabled)) : QString(); },
            [field](const QString& value) {
                const auto enabled = ParseYesNo(value);
                if (field && enabled) field->setEnabled(*enabled);
            }};
}

StoredProperty EnabledOf(QAction* action) {
    QPointer<QAction> field(action);
    return {QString(), PropertyKind::YesNo, [field] { return field ? YesNo(field->isEnabled()) : QString(); },
            [field](const QString& value) {
                const auto enabled = ParseYesNo(value);
                if (field && enabled) field->setEnabled(*enabled);
            }};
}

QString WindowName(const QWidget* window) {
    if (!window->objectName().isEmpty()) return window->objectName();
    QString name = QString::fromLatin1(window->metaObject()->className());
    name = name.mid(name.lastIndexOf(u':') + 1);
    return name.startsWith(u'T') ? name.mid(1) : name;
}

QWidget* FindWindow(const QString& name) {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (WindowName(window).compare(name, Qt::CaseInsensitive) == 0) return window;
    return nullptr;
}

// The page a stored reference names. Qt's page control always shows a page:
// where the reference selects none ("(null)", or a name that is no page of
// this control) the current page stays, and the reference is not written back
// until the operator selects a page, so the file keeps the stored name.
StoredProperty ActivePageOf(QWidget* form, QTabWidget* tabs) {
    QPointer<QWidget> owner(form);
    QPointer<QTabWidget> field(tabs);
    auto unresolved = std::make_shared<bool>(false);
    const auto selectedByOperator = [unresolved] { *unresolved = false; };
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, selectedByOperator);
    QObject::connect(tabs, &QTabWidget::tabBarClicked, tabs, selectedByOperator);

    const auto written = [owner, field, unresolved]() -> QString {
        if (!field || !owner || *unresolved) return QString();
        const QWidget* page = field->currentWidget();
        if (!page) return QString();
        if (page->window() == owner) return page->objectName();
        return WindowName(page->window()) + u'.' + page->objectName();
    };
    const auto restore = [owner, field, unresolved](const QString& value) {
        if (!field || !owner || !field->currentWidget() || value.isEmpty()) return;
        if (value.compare(QStringLiteral("(null)"), Qt::CaseInsensitive) == 0) {
            *unresolved = true;
            return;
        }
        QWidget* window = owner;
        QString name = value;
        const qsizetype dot = value.indexOf(u'.');
        if (dot >= 0) {
            window = FindWindow(value.left(dot));
            if (!window) return;
            name = value.mid(dot + 1);
        }
        auto* page = qobject_cast<QWidget*>(FindComponent(window, name));
        if (!page || field->indexOf(page) < 0) {
            *unresolved = true;
            return;
        }
        // Selected by program: the window's page handler does not run.
        const QSignalBlocker quiet(field);
        field->setCurrentWidget(page);
        *unresolved = false;
    };
    return {QString(), PropertyKind::ComponentReference, written, restore};
}

// The property of the component, by its design name (ignoring case); the
// canonical name goes into the key.
std::optional<StoredProperty> PropertyOf(QWidget* form, QObject* component, const QString& property,
                                         QString& canonical) {
    const auto is = [&](const char* name) {
        if (property.compare(QLatin1String(name), Qt::CaseInsensitive) != 0) return false;
        canonical = QLatin1String(name);
        return true;
    };
    if (is("Text")) {
        if (auto* edit = qobject_cast<QLineEdit*>(component)) return TextOf(edit);
    } else if (is("Value")) {
        if (auto* spin = qobject_cast<QSpinBox*>(component)) return ValueOf(spin);
        if (auto* spin = qobject_cast<QDoubleSpinBox*>(component)) return ValueOf(spin);
    } else if (is("ItemIndex")) {
        if (auto* combo = qobject_cast<QComboBox*>(component)) return ItemIndexOf(combo);
    } else if (is("Checked")) {
        if (auto* button = qobject_cast<QAbstractButton*>(component); button && button->isCheckable())
            return CheckedOf(button);
        if (auto* action = qobject_cast<QAction*>(component); action && action->isCheckable()) return CheckedOf(action);
    } else if (is("Enabled")) {
        if (auto* widget = qobject_cast<QWidget*>(component)) return EnabledOf(widget);
        if (auto* action = qobject_cast<QAction*>(component)) return EnabledOf(action);
    } else if (is("ActivePage")) {
        if (auto* tabs = qobject_cast<QTabWidget*>(component)) return ActivePageOf(form, tabs);
    }
    return std::nullopt;
}

} // namespace

std::optional<StoredProperty> ResolveStoredProperty(QWidget* form, const QString& entry) {
    const qsizetype dot = entry.indexOf(u'.');
    if (!form || dot < 0) return std::nullopt;
    const QString componentName = entry.left(dot).trimmed();
    const QString propertyName = entry.mid(dot + 1).trimmed();
    if (componentName.isEmpty() || propertyName.isEmpty()) return std::nullopt;
    QObject* component = FindComponent(form, componentName);
    if (!component) return std::nullopt;
    QString canonical;
    auto stored = PropertyOf(form, component, propertyName, canonical);
    if (stored) stored->key = component->objectName() + u'_' + canonical;
    return stored;
}

} // namespace zir
