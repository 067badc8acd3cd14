#pragma once

#include <QHash>
#include <QWidget>

class CElidedLabel;
class CWideProgressBar;

// The panel that shows what a run is working on: the current group with a bar through its
// articles, and the current article with a bar through its body lines. Controls are named by
// their numbers (objectName "1032" and so on).
class CProgressPanel : public QWidget {
    Q_OBJECT

  public:
    enum Control : int {
        kGroupName = 1032,
        kMessageId = 1033,
        kAuthor = 1034,
        kSubject = 1035,
        kFileName = 1036,
        kArticleBar = 1037,
        kMultipart = 1038,
        kGroupBar = 1039,
    };

    explicit CProgressPanel(QWidget* parent = nullptr);

    // One of the text fields (not the bars).
    CElidedLabel& Field(Control id) const { return *m_fields.value(id); }
    CWideProgressBar& GroupBar() const { return *m_pGroupBar; }
    CWideProgressBar& ArticleBar() const { return *m_pArticleBar; }

    // At least the room the panel's fields were designed for, in the current font.
    QSize sizeHint() const override;

  private:
    CElidedLabel* AddField(int row, const QString& label, Control id);
    CWideProgressBar* AddBar(int row, Control id);

    QHash<int, CElidedLabel*> m_fields;
    CWideProgressBar* m_pGroupBar = nullptr;
    CWideProgressBar* m_pArticleBar = nullptr;
};
