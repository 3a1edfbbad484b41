#include "MyResourcesTreeController.h"

#include <cerrno>

#include <QFileIconProvider>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QThread>
#include <QTreeView>

#include "mac/core/AppControllerSettings.h"
#include "mac/core/SystemLog.h"
#include "mac/browser/ChildNode.h"
#include "mac/browser/DirectoryListing.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/ui/ImageAndTextCell.h"
#include "platform/widgets/ShellOpener.h"

namespace {

const char *const kRootTitle = "Varnolet";
const char *const kIgnoredName = ".DS_Store";

QIcon sized(const QIcon &icon)
{
    const int side = ImageAndTextCell::kIconSide;
    QIcon result;
    result.addPixmap(icon.pixmap(side, side));
    return result;
}

} // namespace

MyResourcesTreeController::MyResourcesTreeController(QTreeView *outlineView,
                                                     FileBrowserView *fileBrowserView,
                                                     QObject *parent, ShellOpener::Handler opener)
    : QObject(parent)
    , myOutlineView(outlineView)
    , mFileBrowserView(fileBrowserView)
    , m_opener(ShellOpener::OrDesktop(std::move(opener)))
{
    m_mainThreadCall = new varnolet::MainThreadCall(this);
}

MyResourcesTreeController::~MyResourcesTreeController()
{
    // Saves still queued are dropped with it, before the model they would change goes.
    delete m_mainThreadCall;
    if (myOutlineView && myOutlineView->model() == &m_model)
        myOutlineView->setModel(nullptr);
}

void MyResourcesTreeController::setAppController(const AppControllerSettings *appController)
{
    mAppController = appController;
}

bool MyResourcesTreeController::isAutoCreatingResourcesFolder() const
{
    return mAppController && mAppController->usingSettingParam().isAutoCreatingResourcesFolder();
}

void MyResourcesTreeController::initTreeControl()
{
    if (myTreeController)
        return;
    myTreeController = this;
    const QFileIconProvider provider;
    folderImage = sized(provider.icon(QFileIconProvider::Folder));
    urlImage = sized(provider.icon(QFileIconProvider::Network));
    m_cell = new ImageAndTextCell(
        [this](const QModelIndex &index) { return willDisplayCell(m_model.nodeOf(index)); }, this);
    if (!myOutlineView)
        return;
    myOutlineView->setModel(&m_model);
    myOutlineView->setItemDelegateForColumn(0, m_cell);
    myOutlineView->setHeaderHidden(true);
    myOutlineView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    myOutlineView->setSelectionMode(QAbstractItemView::SingleSelection);
    myOutlineView->setIconSize(QSize(ImageAndTextCell::kIconSide, ImageAndTextCell::kIconSide));
    connect(myOutlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { outlineViewSelectionDidChange(); });
}

void MyResourcesTreeController::showResourcesTree(const std::string &resourcesRoot)
{
    initTreeControl();
    if (m_model.rootNode().childCount() > 0)
        m_model.removeNodeAtIndexPath({0});
    const std::optional<IndexPath> root = addFolder(kRootTitle, resourcesRoot, std::nullopt, false);
    addEntries(resourcesRoot, root);
    if (myOutlineView && root)
        myOutlineView->expand(m_model.indexOfPath(*root));
}

void MyResourcesTreeController::addEntries(const std::string &folder,
                                           const std::optional<IndexPath> &parentIndexPath)
{
    const auto names = DirectoryListing::contentsOfDirectory(folder);
    if (!names)
        return;
    for (const std::string &name : *names) {
        if (name == kIgnoredName)
            continue;
        const std::string path = folder + "/" + name;
        bool link = false;
        if (!DirectoryListing::isDirectory(path, &link))
            continue;
        if (!link && !isLeafFolder(path) && isAutoCreatingResourcesFolder()) {
            const std::optional<IndexPath> group = addFolder(name, path, parentIndexPath, false);
            if (group)
                addEntries(path, group);
        } else {
            addFolder(name, path, parentIndexPath, true);
        }
    }
    if (myOutlineView && myOutlineView->selectionModel()) {
        const QModelIndexList selected = myOutlineView->selectionModel()->selectedRows();
        if (!selected.isEmpty())
            myOutlineView->collapse(selected.first());
    }
}

std::optional<IndexPath>
MyResourcesTreeController::addFolder(const std::string &name, const std::string &path,
                                     const std::optional<IndexPath> &parentIndexPath, bool isLeaf)
{
    TreeAdditionObj addition;
    addition.indexPath = parentIndexPath;
    addition.nodeURL = path;
    addition.nodeName = name;
    addition.selectItsParent = true;
    return performAddFolder(addition, isLeaf);
}

std::optional<IndexPath>
MyResourcesTreeController::performAddFolder(const TreeAdditionObj &addition, bool isLeaf)
{
    IndexPath indexPath;
    if (addition.indexPath) {
        BaseNode *parent = m_model.nodeAtIndexPath(*addition.indexPath);
        if (!parent)
            return std::nullopt;
        if (parent->isLeaf())
            m_model.makeGroup(parent);
        indexPath = *addition.indexPath;
        indexPath.push_back(static_cast<int>(parent->childCount()));
    } else {
        indexPath = {static_cast<int>(m_model.rootNode().childCount())};
    }
    std::unique_ptr<ChildNode> node = isLeaf ? ChildNode::initLeaf() : ChildNode::init();
    node->setNodeTitle(addition.nodeName);
    node->setUrlString(addition.nodeURL);
    if (!m_model.insertNode(std::move(node), indexPath))
        return std::nullopt;
    return indexPath;
}

bool MyResourcesTreeController::isLeafFolder(const std::string &path)
{
    const auto names = DirectoryListing::contentsOfDirectory(path);
    if (!names)
        return true;
    for (const std::string &name : *names) {
        if (name == kIgnoredName)
            continue;
        if (DirectoryListing::isDirectory(path + "/" + name))
            return false;
    }
    return true;
}

BaseNode *MyResourcesTreeController::firstSelectedNode() const
{
    if (!myOutlineView || !myOutlineView->selectionModel())
        return nullptr;
    const QModelIndexList selected = myOutlineView->selectionModel()->selectedRows();
    return selected.isEmpty() ? nullptr : m_model.nodeOf(selected.first());
}

std::optional<IndexPath> MyResourcesTreeController::selectionIndexPath() const
{
    const BaseNode *node = firstSelectedNode();
    if (!node)
        return std::nullopt;
    return m_model.indexPathOfNode(node);
}

void MyResourcesTreeController::setSelectionIndexPath(const IndexPath &path)
{
    const QModelIndex index = m_model.indexOfPath(path);
    if (!myOutlineView || !index.isValid())
        return;
    // The node is brought into view: its ancestors are expanded.
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        myOutlineView->expand(parent);
    myOutlineView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
    myOutlineView->scrollTo(index);
}

void MyResourcesTreeController::outlineViewSelectionDidChange()
{
    const BaseNode *node = firstSelectedNode();
    if (!node || !node->isLeaf())
        return;
    if (isAutoCreatingResourcesFolder()) {
        const std::string &title = node->nodeTitle();
        // A category folder that has no numbered sub-folder yet.
        if (title == "Single Shots" || title == "Timed Shots" || title == "Movies")
            return;
    }
    if (mFileBrowserView)
        mFileBrowserView->updateFiles(node->urlString());
}

std::vector<std::string> MyResourcesTreeController::parseLocationOfResource(const std::string &path)
{
    std::vector<std::string> components;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        components.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    for (size_t i = components.size(); i-- > 0;) {
        if (components[i] == kRootTitle)
            return std::vector<std::string>(components.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                            components.end());
    }
    return components;
}

std::optional<IndexPath>
MyResourcesTreeController::findIndexPathByNodeTitle(const std::string &title,
                                                    const IndexPath &parentIndexPath) const
{
    const BaseNode *parent = m_model.nodeAtIndexPath(parentIndexPath);
    if (!parent)
        return std::nullopt;
    for (size_t row = 0; row < parent->childCount(); ++row) {
        if (parent->childAt(row)->nodeTitle() == title) {
            IndexPath path = parentIndexPath;
            path.push_back(static_cast<int>(row));
            return path;
        }
    }
    return std::nullopt;
}

void MyResourcesTreeController::addResource(const std::string &path)
{
    if (QThread::currentThread() == thread()) {
        addResourceOnMainThread(path);
        return;
    }
    m_mainThreadCall->post([this, path] { addResourceOnMainThread(path); });
}

void MyResourcesTreeController::addResourceOnMainThread(const std::string &path)
{
    const std::vector<std::string> components = parseLocationOfResource(path);
    const size_t n = components.size();
    if (n < 2 || !m_model.nodeAtIndexPath({0}))
        return;
    IndexPath reached = {0};
    bool foundAll = true;
    for (size_t i = 0; i + 1 < n; ++i) {
        const std::optional<IndexPath> found = findIndexPathByNodeTitle(components[i], reached);
        if (!found) {
            foundAll = false;
            break;
        }
        reached = *found;
    }
    if (mFileBrowserView)
        mFileBrowserView->setMIsAutoAddingResources(true);
    if (foundAll) {
        setSelectionIndexPath(reached);
        return;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (const std::optional<IndexPath> added = addFolder(components[n - 2], folder, reached, true))
        setSelectionIndexPath(*added);
}

QIcon MyResourcesTreeController::willDisplayCell(BaseNode *node)
{
    if (!node)
        return {};
    QIcon icon;
    if (node->isLeaf()) {
        const std::string &url = node->urlString();
        if (url.empty())
            return node->nodeIcon();
        if (url.rfind("http://", 0) == 0) {
            icon = urlImage;
        } else {
            const QFileIconProvider provider;
            icon = sized(provider.icon(QFileInfo(QString::fromStdString(url))));
        }
    } else {
        icon = folderImage;
    }
    node->setNodeIcon(icon);
    return icon;
}

std::optional<std::string> MyResourcesTreeController::getSelectedNodeUrl() const
{
    if (const BaseNode *node = firstSelectedNode())
        return node->urlString();
    if (const BaseNode *root = m_model.nodeAtIndexPath({0}))
        return root->urlString();
    return std::nullopt;
}

void MyResourcesTreeController::openMoreResources()
{
    if (const std::optional<std::string> url = getSelectedNodeUrl())
        m_opener(*url, ShellOpener::Verb::Explore);
}
