#include "app/gui/HelpIds.h"

#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kControlIdProperty = "gwControlId";
constexpr const char* kHelpContextIdProperty = "gwHelpContextId";

std::optional<uint32_t> NumberProperty(const QWidget* widget, const char* name) {
    if (widget == nullptr)
        return std::nullopt;
    const QVariant value = widget->property(name);
    if (!value.isValid())
        return std::nullopt;
    return value.toUInt();
}

} // namespace

void SetControlId(QWidget* control, uint32_t id) {
    control->setProperty(kControlIdProperty, id);
}

std::optional<uint32_t> ControlId(const QWidget* control) {
    return NumberProperty(control, kControlIdProperty);
}

void SetHelpContextId(QWidget* control, uint32_t id) {
    control->setProperty(kHelpContextIdProperty, id);
}

std::optional<uint32_t> HelpContextId(const QWidget* control) {
    return NumberProperty(control, kHelpContextIdProperty);
}

void SetDialogControlId(QWidget* control, uint32_t templateId, uint32_t controlId) {
    SetControlId(control, controlId);
    SetHelpContextId(control, DialogHelpId(templateId, controlId));
}

std::optional<uint32_t> HelpTopicId(const QWidget* control) {
    const std::optional<uint32_t> context = HelpContextId(control);
    return context ? context : ControlId(control);
}

QWidget* HelpControl(QWidget* focus) {
    for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget()) {
        if (HelpTopicId(widget))
            return widget;
        if (widget->isWindow())
            break;
    }
    return nullptr;
}

QWidget* FindControl(const QWidget* root, uint32_t id) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (ControlId(widget) == id)
            return widget;
    }
    return nullptr;
}

std::vector<QWidget*> ControlsWithHelp(const QWidget* root) {
    std::vector<QWidget*> controls;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (HelpTopicId(widget))
            controls.push_back(widget);
    }
    return controls;
}
