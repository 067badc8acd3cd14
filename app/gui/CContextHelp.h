#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/gui/CHelpFile.h"

class QAction;
class QKeyEvent;
class QWidget;

// Context help for every window of the program: the help file, the popup topic of a control
// (F1, or a click in What's This mode) and the main window's context-help mode (Shift+F1).
class CContextHelp {
  public:
    // Shows the topic text as a popup for the control; QWhatsThis by default.
    using PopupFunction = std::function<void(QWidget* control, const QString& text)>;

    // The help file, read on first use from the first of SearchPaths() that can be read. The
    // file used goes to the diagnostics file; a missing one is a warning on standard error,
    // since every popup would then only say so.
    static const CHelpFile& HelpFile();
    // Beside the program, then ../share/gleanwick/ from there (an installed layout).
    static std::vector<std::string> SearchPaths();
    // Reads this file instead; a file that cannot be read leaves no topics.
    static void UseHelpFile(const std::string& path);

    // The popup text of a topic: its title and paragraphs, or a line saying that the topic or
    // the whole help file is missing.
    static QString TopicText(uint32_t id);
    // The same for a topic at hand, as HTML.
    static QString TopicHtml(const HelpTopic& topic);

    // Gives a dialog, sheet or page its context help: F1 shows the popup of the control with
    // the focus, and each time it is shown its controls get their What's This texts (then
    // rather than at construction: derived classes add their controls after their base).
    static void Attach(QWidget* owner);
    // F1 in a dialog, sheet or page `owner`: shows the popup of the control that has the
    // focus. True when the key was F1 (the event is then accepted).
    static bool HandleHelpKey(QWidget* owner, QKeyEvent* event);
    // Shows the popup of `focus` (or of the control it belongs to); nothing when it has no
    // help topic.
    static void ShowHelpFor(QWidget* focus);
    // Gives every control below `root` that has a help topic its text for What's This mode,
    // and a label the text of the control it names (its buddy).
    static void ApplyWhatsThis(QWidget* root);

    // For the main window's panes and toolbar buttons: the topic shown in What's This mode.
    static void SetHelpTopic(QWidget* widget, uint32_t id);
    static void SetHelpTopic(QAction* action, uint32_t id);
    // Shift+F1 in the main window: the next click on a window shows that window's topic.
    static void EnterContextHelpMode();

    // Replaces how popups are shown (tests); an empty function restores QWhatsThis.
    static void InstallPopup(PopupFunction popup);

  private:
    // "The help file ... was not found. It is looked for in: <the search paths>".
    static std::string MissingFileText();
    static CHelpFile& LoadedFile();
    static bool& FileRead();
    static PopupFunction& Popup();
};
