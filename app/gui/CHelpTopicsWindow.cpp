#include "app/gui/CHelpTopicsWindow.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/gui/CContextHelp.h"
#include "app/gui/CHelpTopicsModel.h"
#include "app/gui/ResourceIcon.h"
#include "app/gui/TableText.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

constexpr const char* kTopicScheme = "topic";
constexpr unsigned kHelpTopicsCommand = 57667;
constexpr QSize kWindowSize(860, 540);
constexpr int kListWidth = 340;
constexpr int kTextMargin = 10;

// The window is named like the command that opens it (the tooltip after the line break).
QString WindowTitle() {
    const QString command = TableText(kHelpTopicsCommand);
    return command.section('\n', -1);
}

QString MissingFileHtml() {
    QStringList places;
    for (const std::string& path : CContextHelp::SearchPaths())
        places << QString::fromStdString(path).toHtmlEscaped();
    const std::string message = CStringTable::Load(ids::kHelpFileMissing);
    return "<p>" +
           QString::fromStdString(message).toHtmlEscaped().replace("%1", places.join("<br>")) +
           "</p>";
}

} // namespace

CHelpTopicsWindow::CHelpTopicsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_pModel(new CHelpTopicsModel(CContextHelp::HelpFile(), this)),
      m_pProxy(new QSortFilterProxyModel(this)), m_pFilter(new QLineEdit(this)),
      m_pTree(new QTreeView(this)), m_pText(new QTextBrowser(this)) {
    setWindowTitle(WindowTitle());
    setWindowIcon(ResourceIcon("gleanwick", QStyle::SP_DialogHelpButton));
    resize(kWindowSize);

    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setRecursiveFilteringEnabled(true);
    m_pProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_pProxy->setFilterRole(CHelpTopicsModel::SearchTextRole);
    m_pProxy->setFilterKeyColumn(CHelpTopicsModel::TitleColumn);

    m_pFilter->setPlaceholderText(TableText(ids::kSearchTopics));
    m_pFilter->setClearButtonEnabled(true);
    m_pTree->setModel(m_pProxy);
    m_pTree->setUniformRowHeights(true);
    m_pTree->setAllColumnsShowFocus(true);
    m_pTree->header()->setStretchLastSection(false);
    m_pTree->header()->setSectionResizeMode(CHelpTopicsModel::TitleColumn, QHeaderView::Stretch);
    m_pTree->header()->setSectionResizeMode(CHelpTopicsModel::NumberColumn,
                                            QHeaderView::ResizeToContents);
    m_pTree->expandAll();
    m_pText->setOpenLinks(false);
    m_pText->document()->setDocumentMargin(kTextMargin);

    auto* list = new QWidget(this);
    auto* listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(m_pFilter);
    listLayout->addWidget(m_pTree);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(list);
    splitter->addWidget(m_pText);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kListWidth, kWindowSize.width() - kListWidth});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    connect(m_pFilter, &QLineEdit::textChanged, this, &CHelpTopicsWindow::ApplyFilter);
    connect(m_pTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ShowIndex(current); });
    connect(m_pText, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (link.scheme() == kTopicScheme)
            SelectTopic(link.path().toUInt());
    });
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);

    if (!CContextHelp::HelpFile().IsLoaded())
        m_pText->setHtml(MissingFileHtml());
    SelectFirstTopic();
    m_pFilter->setFocus();
}

CHelpTopicsWindow* CHelpTopicsWindow::ShowHelpTopics(QWidget* parent) {
    static QPointer<CHelpTopicsWindow> window;
    if (window == nullptr) {
        window = new CHelpTopicsWindow(parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool CHelpTopicsWindow::SelectTopic(uint32_t id) {
    QModelIndex index = m_pProxy->mapFromSource(m_pModel->TopicIndex(id));
    if (!index.isValid() && m_pModel->TopicIndex(id).isValid()) {
        m_pFilter->clear(); // the topic is filtered out: show it among all of them
        index = m_pProxy->mapFromSource(m_pModel->TopicIndex(id));
    }
    if (!index.isValid())
        return false;
    m_pTree->setCurrentIndex(index);
    m_pTree->scrollTo(index);
    return true;
}

void CHelpTopicsWindow::SetFilter(const QString& text) {
    m_pFilter->setText(text);
}

void CHelpTopicsWindow::ApplyFilter() {
    m_pProxy->setFilterFixedString(m_pFilter->text());
    m_pTree->expandAll();
    if (!m_pTree->currentIndex().isValid() || m_pTree->currentIndex().parent() == QModelIndex())
        SelectFirstTopic();
}

void CHelpTopicsWindow::SelectFirstTopic() {
    const QModelIndex chapter = m_pProxy->index(0, 0);
    const QModelIndex topic = m_pProxy->index(0, 0, chapter);
    if (topic.isValid())
        m_pTree->setCurrentIndex(topic);
}

void CHelpTopicsWindow::ShowIndex(const QModelIndex& proxyIndex) {
    const QModelIndex index = m_pProxy->mapToSource(proxyIndex);
    if (!index.isValid())
        return;
    if (const HelpTopic* topic = m_pModel->Topic(index))
        m_pText->setHtml(CContextHelp::TopicHtml(*topic));
    else
        ShowChapter(index.siblingAtColumn(CHelpTopicsModel::TitleColumn));
}

// A chapter: its title and its topics as links.
void CHelpTopicsWindow::ShowChapter(const QModelIndex& sourceIndex) {
    QString html = "<p><b>" + sourceIndex.data().toString().toHtmlEscaped() + "</b></p><ul>";
    for (int row = 0; row < m_pModel->rowCount(sourceIndex); ++row) {
        const QModelIndex topic = m_pModel->index(row, 0, sourceIndex);
        html += QStringLiteral("<li><a href=\"%1:%2\">%3</a></li>")
                    .arg(QString::fromLatin1(kTopicScheme),
                         QString::number(topic.data(CHelpTopicsModel::TopicIdRole).toUInt()),
                         topic.data().toString().toHtmlEscaped());
    }
    m_pText->setHtml(html + "</ul>");
}
