#include "app/gui/CContextHelp.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QWhatsThis>
#include <QWidget>

#include "app/gui/HelpIds.h"
#include "platform/CStringTable.h"
#include "platform/Diagnostics.h"
#include "platform/StringIds.h"

namespace {

QString NumberText(uint32_t id) {
    return QString::fromStdString(CHelpFile::NumberText(id));
}

// Below the middle of the control, where the eye already is.
void ShowWhatsThis(QWidget* control, const QString& text) {
    const QPoint below(control->width() / 2, control->height());
    QWhatsThis::showText(control->mapToGlobal(below), text, control);
}

// The events of the windows given context help by Attach.
class HelpEvents : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* owner = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::KeyPress)
            return CContextHelp::HandleHelpKey(owner, static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::Show)
            CContextHelp::ApplyWhatsThis(owner);
        return false;
    }
};

} // namespace

void CContextHelp::Attach(QWidget* owner) {
    static HelpEvents events;
    owner->installEventFilter(&events);
}

CHelpFile& CContextHelp::LoadedFile() {
    static CHelpFile file;
    return file;
}

bool& CContextHelp::FileRead() {
    static bool read = false;
    return read;
}

CContextHelp::PopupFunction& CContextHelp::Popup() {
    static PopupFunction popup;
    return popup;
}

const CHelpFile& CContextHelp::HelpFile() {
    if (FileRead())
        return LoadedFile();
    FileRead() = true;
    for (const std::string& path : SearchPaths()) {
        if (LoadedFile().Load(path))
            break;
    }
    if (!LoadedFile().IsLoaded()) {
        qWarning("%s", MissingFileText().c_str());
        return LoadedFile();
    }
    DebugTrace(1, "Help file %s\n", LoadedFile().Path().c_str());
    for (const std::string& problem : LoadedFile().Problems())
        qWarning("%s: %s", LoadedFile().Path().c_str(), problem.c_str());
    return LoadedFile();
}

std::string CContextHelp::MissingFileText() {
    std::string places;
    for (const std::string& path : SearchPaths())
        places += (places.empty() ? "" : ", ") + path;
    return CStringTable::Format(ids::kHelpFileMissing, places);
}

std::vector<std::string> CContextHelp::SearchPaths() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString name = QString::fromLatin1(CHelpFile::kFileName);
    return {QDir::cleanPath(programDir.filePath(name)).toStdString(),
            QDir::cleanPath(programDir.filePath("../share/gleanwick/" + name)).toStdString()};
}

void CContextHelp::UseHelpFile(const std::string& path) {
    FileRead() = true;
    LoadedFile().Load(path);
}

QString CContextHelp::TopicText(uint32_t id) {
    const CHelpFile& file = HelpFile();
    const unsigned missing = file.IsLoaded() ? ids::kNoHelpTopic : ids::kNoHelpFile;
    const HelpTopic* topic = file.Find(id);
    if (topic == nullptr)
        return QString::fromStdString(CStringTable::Format(missing, NumberText(id).toStdString()));
    return TopicHtml(*topic);
}

QString CContextHelp::TopicHtml(const HelpTopic& topic) {
    QString html = "<p><b>" + QString::fromStdString(topic.title).toHtmlEscaped() + "</b></p>";
    for (const std::string& paragraph : topic.paragraphs)
        html += "<p>" + QString::fromStdString(paragraph).toHtmlEscaped() + "</p>";
    return html;
}

bool CContextHelp::HandleHelpKey(QWidget* owner, QKeyEvent* event) {
    if (event->key() != Qt::Key_F1)
        return false;
    event->accept();
    // The key came from the widget with the focus, up through its parents to the owner.
    QWidget* focus = owner->focusWidget();
    ShowHelpFor(focus != nullptr ? focus : owner);
    return true;
}

void CContextHelp::ShowHelpFor(QWidget* focus) {
    QWidget* control = HelpControl(focus);
    if (control == nullptr)
        return;
    const QString text = TopicText(*HelpTopicId(control));
    if (Popup())
        Popup()(control, text);
    else
        ShowWhatsThis(control, text);
}

void CContextHelp::ApplyWhatsThis(QWidget* root) {
    for (QWidget* control : ControlsWithHelp(root))
        control->setWhatsThis(TopicText(*HelpTopicId(control)));
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!HelpTopicId(label) && label->buddy() != nullptr && HelpTopicId(label->buddy()))
            label->setWhatsThis(TopicText(*HelpTopicId(label->buddy())));
    }
}

void CContextHelp::SetHelpTopic(QWidget* widget, uint32_t id) {
    SetHelpContextId(widget, id);
    widget->setWhatsThis(TopicText(id));
}

void CContextHelp::SetHelpTopic(QAction* action, uint32_t id) {
    action->setWhatsThis(TopicText(id));
}

void CContextHelp::EnterContextHelpMode() {
    QWhatsThis::enterWhatsThisMode();
}

void CContextHelp::InstallPopup(PopupFunction popup) {
    Popup() = std::move(popup);
}
