#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class QWidget;

// Help numbers of controls. A control's help topic is its help context ID when it has one,
// else its control ID; a widget with neither has no help of its own.

// The number the control has in its dialog template; it also names the control's help topic.
void SetControlId(QWidget* control, uint32_t id);
std::optional<uint32_t> ControlId(const QWidget* control);
// A topic number that replaces the control ID for help.
void SetHelpContextId(QWidget* control, uint32_t id);
std::optional<uint32_t> HelpContextId(const QWidget* control);
// The help context ID, else the control ID.
std::optional<uint32_t> HelpTopicId(const QWidget* control);

// The widget whose help a key press on `focus` asks for: `focus` itself or, for a part of a
// compound control (the line edit inside a combo box), the nearest enclosing widget of the same
// window that has a help topic. nullptr when there is none.
QWidget* HelpControl(QWidget* focus);

// The descendant of `root` with that control ID, or nullptr.
QWidget* FindControl(const QWidget* root, uint32_t id);
// Every descendant of `root` that has a help topic.
std::vector<QWidget*> ControlsWithHelp(const QWidget* root);

// The topic number of a control in one dialog: for the controls whose control ID other dialogs
// use for something else (1011 is a figure in the About box and a check box of the server
// properties), so that each gets a topic of its own.
constexpr uint32_t DialogHelpId(uint32_t templateId, uint32_t controlId) {
    return 0x80000000u | (templateId << 16) | controlId;
}

// Gives a control its control ID and, as its help context ID, that number's topic in this
// dialog (for dialogs whose control IDs other dialogs use for other controls).
void SetDialogControlId(QWidget* control, uint32_t templateId, uint32_t controlId);

namespace helpids {
// The OK and Cancel buttons of every property sheet.
inline constexpr uint32_t kSheetOk = 0x80640001;
inline constexpr uint32_t kSheetCancel = 0x80900002;
// The main window's panes (resource 128). The toolbar and the status bar use the topics of
// the commands that show and hide them (59392, 59393).
inline constexpr uint32_t kLogList = DialogHelpId(128, 1);
inline constexpr uint32_t kProgressPanel = DialogHelpId(128, 2);
inline constexpr uint32_t kArticleList = DialogHelpId(128, 3);
} // namespace helpids
