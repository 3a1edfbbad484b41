#include "CResourceWindow.h"

#include "win/common/AppServices.h"

#include "CResourceBrowserView.h"
#include "CResourcesBrowserDlg.h"
#include "win/browser/FolderListing.h"
#include "win/browser/ResourcePathParts.h"
#include "platform/system/MainThreadCall.h"
#include "platform/widgets/ShellOpener.h"

#include "win/common/CLanguageTable.h"
#include "win/common/CSettingParams.h"

#include <vector>

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QThread>
#include <QTreeWidget>

namespace {

constexpr const char *kTopItemText = "Varnolet";
// Folder trees deeper than this are not followed (a loop made with bind mounts).
constexpr int kMaxDepth = 16;

QString ToQt(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

CResourceWindow::CResourceWindow(const AppServices &services, varnolet::MessageBox messages,
                                 QWidget *parent, QWidget *fontSource, ShellOpener::Handler opener)
    : QWidget(parent)
    , m_services(services)
    , m_messages(std::move(messages))
    , m_opener(ShellOpener::OrDesktop(std::move(opener)))
{
    setObjectName(QStringLiteral("ResourceWindow"));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("Tree%1").arg(kTreeId));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setIconSize(QSize(16, 16));
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CResourceWindow::OnSelectionChanged);

    m_moreButton = new QPushButton(this);
    m_moreButton->setObjectName(QStringLiteral("Button%1").arg(kMoreButtonId));
    m_moreButton->setStyleSheet(
        QStringLiteral("QPushButton { text-align: left; padding-left: 4px; }"));
    m_moreButton->setFont(fontSource ? fontSource->font() : font());
    connect(m_moreButton, &QPushButton::clicked, this, &CResourceWindow::OnMore);
    RetitleMoreButton();

    RefreshResourceTree();
}

CResourceWindow::~CResourceWindow() = default;

void CResourceWindow::SetBrowserPanel(CResourcesBrowserDlg *panel)
{
    m_panel = panel;
}

void CResourceWindow::SetBrowserView(CResourceBrowserView *view)
{
    m_panel = view ? view->Panel() : nullptr;
}

void CResourceWindow::RetitleMoreButton()
{
    m_moreButton->setText(
        ToQt(m_services.GetLanguageString("ui_view_btn_more_resources", "更多...", m_messages)));
}

void CResourceWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int width = event->size().width();
    const int height = event->size().height();
    m_tree->setGeometry(0, 0, width, std::max(height - kButtonHeight, 0));
    m_moreButton->setGeometry(0, height - kButtonHeight, width, kButtonHeight);
}

// --- building -------------------------------------------------------------------------

void CResourceWindow::RefreshResourceTree()
{
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    const bool perDay = settings.autoCreatingFolder != 0;
    if (m_built && settings.resourcesRoot == m_shownRoot && perDay == m_shownPerDay)
        return;
    m_built = true;
    m_shownRoot = settings.resourcesRoot;
    m_shownPerDay = perDay;

    {
        const QSignalBlocker blocker(m_tree);
        m_tree->clear();
    }
    if (m_panel)
        m_panel->RestartFolderMonitor();

    QFileIconProvider icons;
    auto *top = new QTreeWidgetItem(m_tree, QStringList(QString::fromLatin1(kTopItemText)));
    QIcon icon = icons.icon(QFileInfo(ToQt(m_shownRoot)));
    icon.addPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    top->setIcon(0, icon);
    FillFolderItems(m_shownRoot, top, perDay, 0);
    top->setExpanded(true);
}

void CResourceWindow::FillFolderItems(const std::string &path, QTreeWidgetItem *parent)
{
    FillFolderItems(path, parent, m_services.Settings().GetUsingSettings().autoCreatingFolder != 0,
                    0);
}

void CResourceWindow::FillFolderItems(const std::string &path, QTreeWidgetItem *parent, bool perDay,
                                      int depth)
{
    if (!parent || depth > kMaxDepth)
        return;
    for (const FolderListing::Subfolder &folder : FolderListing::Subfolders(path)) {
        QTreeWidgetItem *item = InsertFolderItem(parent, path + "/" + folder.name, folder.name);
        // A link may point back up the tree; only real folders are followed.
        if (item && perDay && !folder.symbolicLink)
            FillFolderItems(path + "/" + folder.name, item, perDay, depth + 1);
    }
}

QTreeWidgetItem *CResourceWindow::InsertFolderItem(QTreeWidgetItem *parent, const std::string &path,
                                                   const std::string &name)
{
    QFileIconProvider icons;
    auto *item = new QTreeWidgetItem(parent, QStringList(ToQt(name)));
    QIcon icon = icons.icon(QFileInfo(ToQt(path)));
    icon.addPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    item->setIcon(0, icon);
    return item;
}

QTreeWidgetItem *CResourceWindow::FindChild(QTreeWidgetItem *parent, const std::string &text)
{
    const QString wanted = ToQt(text);
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == wanted)
            return parent->child(i);
    }
    return nullptr;
}

// --- selection and "More..." ----------------------------------------------------------

void CResourceWindow::OnSelectionChanged()
{
    if (m_announcing)
        return;
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || !item->isSelected())
        return;
    if (m_captureBusy && m_captureBusy())
        return;
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    if (item->childCount() > 0)
        return;
    std::string folder;
    if (settings.autoCreatingFolder != 0) {
        QTreeWidgetItem *parent = item->parent();
        QTreeWidgetItem *grandparent = parent ? parent->parent() : nullptr;
        if (!grandparent)
            return;
        folder = settings.resourcesRoot + "/" + grandparent->text(0).toStdString() + "/" +
                 parent->text(0).toStdString() + "/" + item->text(0).toStdString();
    } else {
        folder = settings.resourcesRoot + "/" + item->text(0).toStdString();
    }
    if (m_panel)
        m_panel->ShowFolder(folder, false);
}

void CResourceWindow::OnMore()
{
    std::string folder = m_services.Settings().GetUsingSettings().resourcesRoot;
    // The names from the selected folder up to the root, put together root first.
    std::vector<std::string> names;
    for (QTreeWidgetItem *item = m_tree->currentItem(); item && item->parent();
         item = item->parent())
        names.push_back(item->text(0).toStdString());
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        folder.append("/").append(*name);
    m_opener(folder, ShellOpener::Verb::Explore);
}

// --- announced files ------------------------------------------------------------------

void CResourceWindow::AddResourceFile(const std::string &path)
{
    if (QThread::currentThread() == thread()) {
        AddResourceFileNow(path);
        return;
    }
    varnolet::MainThreadCall::postTo(this, [this, path] { AddResourceFileNow(path); });
}

void CResourceWindow::AddResourceFileNow(const std::string &path)
{
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    const bool perDay = settings.autoCreatingFolder != 0;
    const std::optional<ResourcePathParts> parts = ResourcePathParts::Split(path, perDay);
    if (!parts)
        return;
    QTreeWidgetItem *top = m_tree->topLevelItem(0);
    QTreeWidgetItem *deepest = top ? FindChild(top, parts->category) : nullptr;
    if (!deepest)
        return;
    std::string folder = settings.resourcesRoot + "/" + parts->category;
    if (perDay) {
        folder += "/" + parts->date;
        QTreeWidgetItem *date = FindChild(deepest, parts->date);
        if (!date)
            date = InsertFolderItem(deepest, folder, parts->date);
        folder += "/" + parts->number;
        QTreeWidgetItem *number = FindChild(date, parts->number);
        if (!number)
            number = InsertFolderItem(date, folder, parts->number);
        deepest = number;
    }

    // The panel is switched below with the new file scrolled into view, so the selection
    // made here does not switch it a second time.
    m_announcing = true;
    m_tree->scrollToItem(deepest);
    m_tree->setCurrentItem(deepest);
    m_announcing = false;

    if (!m_panel)
        return;
    if (m_panel->CurrentFolder() != folder) {
        m_panel->ShowFolder(folder, true);
        return;
    }
    if (!m_panel->ContainsName(parts->file))
        m_panel->AppendName(parts->file);
    m_panel->ScrollToEnd();
    m_panel->update();
}
