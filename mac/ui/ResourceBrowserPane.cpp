#include "ResourceBrowserPane.h"

#include <QPushButton>
#include <QScrollArea>
#include <QTreeView>
#include <QVBoxLayout>

#include "mac/core/AppControllerSettings.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/ui/MyResourcesTreeController.h"

ResourceBrowserPane::ResourceBrowserPane(const AppControllerSettings *appController,
                                         QWidget *parent, const std::string &resourcesPath,
                                         ShellOpener::Handler opener)
    : QSplitter(Qt::Horizontal, parent)
{
    auto *treeSide = new QWidget(this);
    auto *layout = new QVBoxLayout(treeSide);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_outlineView = new QTreeView(treeSide);
    m_moreResourcesBtn = new QPushButton(QStringLiteral("More..."), treeSide);
    layout->addWidget(m_outlineView, 1);
    layout->addWidget(m_moreResourcesBtn, 0, Qt::AlignRight);

    m_scrollView = new QScrollArea(this);
    m_scrollView->setWidgetResizable(true);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setMinimumWidth(120);
    m_scrollView->viewport()->setBackgroundRole(QPalette::Base);
    opener = ShellOpener::OrDesktop(std::move(opener));
    m_fileBrowserView = new FileBrowserView(nullptr,
                                            resourcesPath.empty() && appController
                                                ? appController->bundleResourcesPath()
                                                : resourcesPath,
                                            {}, opener);
    m_scrollView->setWidget(m_fileBrowserView);

    addWidget(treeSide);
    addWidget(m_scrollView);
    setStretchFactor(0, 1);
    setStretchFactor(1, 1);
    setChildrenCollapsible(false);

    m_treeController =
        new MyResourcesTreeController(m_outlineView, m_fileBrowserView, this, std::move(opener));
    m_treeController->setAppController(appController);
    m_treeController->initTreeControl();
    connect(m_moreResourcesBtn, &QPushButton::clicked, m_treeController,
            &MyResourcesTreeController::openMoreResources);
}

ResourceBrowserPane::~ResourceBrowserPane() = default;
