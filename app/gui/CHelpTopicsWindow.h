#pragma once

#include <QWidget>

#include <cstdint>

class CHelpTopicsModel;
class QLineEdit;
class QModelIndex;
class QSortFilterProxyModel;
class QTextBrowser;
class QTreeView;

// Help Topics: the help file's topics by chapter beside the text of the one selected, with a
// search field that keeps the topics whose title, number or text hold what is typed.
class CHelpTopicsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit CHelpTopicsWindow(QWidget* parent = nullptr);

    // Opens the one Help Topics window, or brings it to the front when it is open already.
    static CHelpTopicsWindow* ShowHelpTopics(QWidget* parent);

    // Selects the topic and shows its text; false when the file has no such topic.
    bool SelectTopic(uint32_t id);
    void SetFilter(const QString& text);

    QTreeView* TopicView() const { return m_pTree; }
    QTextBrowser* TextView() const { return m_pText; }

  private:
    void ShowIndex(const QModelIndex& proxyIndex);
    void ShowChapter(const QModelIndex& sourceIndex);
    void ApplyFilter();
    void SelectFirstTopic();

    CHelpTopicsModel* m_pModel;
    QSortFilterProxyModel* m_pProxy;
    QLineEdit* m_pFilter;
    QTreeView* m_pTree;
    QTextBrowser* m_pText;
};
