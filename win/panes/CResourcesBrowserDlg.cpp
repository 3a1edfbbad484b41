#include "CResourcesBrowserDlg.h"

#include "win/common/AppServices.h"

#include "win/browser/FilmSymbol.h"
#include "win/browser/FolderListing.h"
#include "platform/widgets/ShellOpener.h"
#include "win/browser/ThumbnailDecoder.h"
#include "win/browser/ThumbnailLayout.h"
#include "win/browser/ThumbnailLoader.h"

#include "platform/system/MainThreadCall.h"
#include "platform/system/SystemError.h"
#include "win/common/CSettingParams.h"

#include <cerrno>

#include <unistd.h>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QThread>
#include <QWheelEvent>

namespace {

constexpr const char *kNoAssociationText =
    "No application is associated with the specified file for this operation.";

bool IsShownResourceName(const std::string &name)
{
    // Hidden files (the writers' temporary files among them) are not shown.
    return !name.empty() && name[0] != '.' && FolderListing::IsResourceName(name);
}

bool IsSameOrBelow(const std::string &path, const std::string &folder)
{
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

} // namespace

CResourcesBrowserDlg::CResourcesBrowserDlg(const AppServices &services,
                                           varnolet::MessageBox messages, QWidget *parent,
                                           ShellOpener::Handler opener)
    : QWidget(parent)
    , m_services(services)
    , m_filmSymbol(FilmSymbol::Shipped(services.Paths()))
    , m_messages(std::move(messages))
    , m_opener(ShellOpener::OrDesktop(std::move(opener)))
{
    setObjectName(QStringLiteral("ResourcesBrowserDlg"));
    // The whole picture area is painted at every paint; nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);

    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->setObjectName(QStringLiteral("ScrollBar%1").arg(kScrollBarId));
    m_scrollBar->setSingleStep(ScrollRange::kLineStep);
    // Opaque, so that its own updates never make the column repaint beneath it.
    m_scrollBar->setAutoFillBackground(true);
    m_scrollBar->installEventFilter(this);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::actionTriggered, this, &CResourcesBrowserDlg::OnScrollAction);

    m_loader = std::make_unique<ThumbnailLoader>(m_cache, [this] { PostRepaint(); });
    m_monitor =
        std::make_unique<FolderMonitor>(static_cast<FolderChangeTarget &>(*this), m_messages);
    m_monitor->StartProcessing();
    m_monitor->StartMonitor(m_services.Settings().GetUsingSettings().resourcesRoot);
}

CResourcesBrowserDlg::~CResourcesBrowserDlg()
{
    // The threads call back into this object; they end before any member goes.
    m_monitor.reset();
    m_loader.reset();
}

bool CResourcesBrowserDlg::OnUiThread() const
{
    return QThread::currentThread() == thread();
}

QRect CResourcesBrowserDlg::PictureArea() const
{
    QRect area = rect();
    area.setRight(m_scrollBar->geometry().left() - 1);
    return area;
}

std::string CResourcesBrowserDlg::PathOfRow(int row) const
{
    if (row < 0)
        return {};
    return m_names.PathOfIndex(static_cast<size_t>(m_firstVisibleIndex) + static_cast<size_t>(row));
}

QImage CResourcesBrowserDlg::MovieFirstFrame(const std::string &path)
{
    return ThumbnailDecoder::MovieFirstFrame(path);
}

// --- folder and names -----------------------------------------------------------------

void CResourcesBrowserDlg::ShowFolder(const std::string &folder, bool scrollToEnd)
{
    if (!m_names.SwitchFolder(folder))
        return;
    RescanFolder();
    if (OnUiThread()) {
        FinishShowFolder(scrollToEnd);
    } else {
        varnolet::MainThreadCall::postTo(this,
                                         [this, scrollToEnd] { FinishShowFolder(scrollToEnd); });
    }
}

void CResourcesBrowserDlg::FinishShowFolder(bool scrollToEnd)
{
    m_loader->CancelPending();
    ResetScrollRange();
    if (scrollToEnd)
        ScrollToEnd();
    update();
}

void CResourcesBrowserDlg::RescanFolder()
{
    const std::string folder = m_names.Folder();
    std::vector<std::string> names;
    for (std::string &name : FolderListing::ResourceNames(folder)) {
        if (name[0] != '.')
            names.push_back(std::move(name));
    }
    m_names.ReplaceNames(folder, std::move(names));
}

// --- scrolling ------------------------------------------------------------------------

void CResourcesBrowserDlg::ResetScrollRange()
{
    m_scroll.Reset(static_cast<int>(m_names.Count()), PictureArea().height());
    SyncScrollBar();
}

void CResourcesBrowserDlg::UpdateScrollRange()
{
    m_scroll.SetPage(PictureArea().height());
    m_scroll.Update(static_cast<int>(m_names.Count()));
    SyncScrollBar();
}

void CResourcesBrowserDlg::ScrollToEnd()
{
    m_scroll.SetPage(PictureArea().height());
    m_scroll.ToEnd(static_cast<int>(m_names.Count()));
    SyncScrollBar();
}

void CResourcesBrowserDlg::SyncScrollBar()
{
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar->setRange(0, m_scroll.MaximumPosition());
    m_scrollBar->setPageStep(std::max(m_scroll.Page(), 1));
    m_scrollBar->setValue(m_scroll.Position());
    m_scrollBar->setVisible(m_scroll.BarVisible());
}

void CResourcesBrowserDlg::OnScrollAction(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        m_scroll.LineDown();
        break;
    case QAbstractSlider::SliderSingleStepSub:
        m_scroll.LineUp();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        m_scroll.PageDown();
        break;
    case QAbstractSlider::SliderPageStepSub:
        m_scroll.PageUp();
        break;
    case QAbstractSlider::SliderMove:
        m_scroll.MoveTo(m_scrollBar->sliderPosition());
        break;
    default: // top, bottom: ignored
        break;
    }
    m_scrollBar->setSliderPosition(m_scroll.Position());
    update();
}

bool CResourcesBrowserDlg::HandleWheel(int delta)
{
    bool handled = false;
    m_scroll.Wheel(delta, &handled);
    if (!handled)
        return false;
    SyncScrollBar();
    update();
    return true;
}

void CResourcesBrowserDlg::wheelEvent(QWheelEvent *event)
{
    if (!HandleWheel(event->angleDelta().y()))
        event->ignore();
}

bool CResourcesBrowserDlg::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel over the scroll bar scrolls by the same one-row step.
    if (watched == m_scrollBar && event->type() == QEvent::Wheel)
        return HandleWheel(static_cast<QWheelEvent *>(event)->angleDelta().y());
    return QWidget::eventFilter(watched, event);
}

void CResourcesBrowserDlg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scrollBar);
    m_scrollBar->setGeometry(width() - barWidth, 0, barWidth, height());
    ResetScrollRange();
}

// --- mouse ----------------------------------------------------------------------------

void CResourcesBrowserDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void CResourcesBrowserDlg::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    for (const auto &[row, rect] : m_pictureRects) {
        if (rect.contains(point)) {
            OpenRow(row);
            return;
        }
    }
}

void CResourcesBrowserDlg::OpenRow(int row)
{
    const std::string path = PathOfRow(row);
    if (path.empty())
        return;
    if (access(path.c_str(), R_OK) != 0) {
        m_messages.warning(varnolet::SystemError::text(errno));
        return;
    }
    if (!m_opener(path, ShellOpener::Verb::Open))
        m_messages.warning(kNoAssociationText);
}

// --- painting -------------------------------------------------------------------------

void CResourcesBrowserDlg::paintEvent(QPaintEvent *)
{
    const QRect area = PictureArea();
    QPainter painter(this);
    // The whole pane: with the scroll bar hidden, the strip it would take is ours to paint.
    painter.fillRect(m_scrollBar->isVisible() ? area : rect(), palette().color(backgroundRole()));
    m_pictureRects.clear();

    const int boxWidth = area.width();
    const int rows = ThumbnailLayout::VisibleRows(area.height());
    m_firstVisibleIndex = ThumbnailLayout::FirstVisibleIndex(m_scroll.Position());
    int top = ThumbnailLayout::FirstRowTop(m_scroll.Position());
    std::vector<ThumbnailKey> missing;
    for (int row = 0; row < rows && boxWidth > 0; ++row) {
        const std::string path = PathOfRow(row);
        if (path.empty())
            continue;
        const std::optional<ThumbnailKey> key = ThumbnailKey::Of(path, boxWidth);
        if (!key)
            continue; // gone from the disk: no row
        const std::optional<Thumbnail> thumbnail = m_cache.Find(*key);
        if (!thumbnail) {
            // Not decoded yet: the row is kept free and drawn when its picture is ready.
            missing.push_back(*key);
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(QRect(2, top + 2, boxWidth - 5, ThumbnailLayout::kBoxHeight - 5));
            top += ThumbnailLayout::kRowPitch;
            continue;
        }
        if (!thumbnail->decoded)
            continue; // damaged: the next file takes its place
        const QRect target = ThumbnailLayout::PictureRect(
            thumbnail->sourceSize.width(), thumbnail->sourceSize.height(), boxWidth, top);
        painter.drawImage(target, thumbnail->picture);
        m_pictureRects.emplace_back(row, target);
        if (thumbnail->movie)
            painter.drawImage(target.topLeft(), m_filmSymbol);
        top += ThumbnailLayout::kRowPitch;
    }
    m_loader->RequestOnly(missing);
}

bool CResourcesBrowserDlg::WaitForThumbnails(std::chrono::milliseconds timeout) const
{
    return m_loader->WaitIdle(timeout);
}

// --- folder monitor -------------------------------------------------------------------

void CResourcesBrowserDlg::StopFolderMonitor()
{
    m_monitor->StopFolderMonitor();
}

void CResourcesBrowserDlg::RestartFolderMonitor()
{
    ShowFolder(std::string(), false);
    m_monitor->StopFolderMonitor();
    m_monitor->StartMonitor(m_services.Settings().GetUsingSettings().resourcesRoot);
}

bool CResourcesBrowserDlg::HandleFolderChange(uint32_t action, const std::string &name)
{
    return ApplyFolderChange(m_monitor->WatchedRoot(), action, name);
}

bool CResourcesBrowserDlg::ApplyFolderChange(const std::string &root, uint32_t action,
                                             const std::string &name)
{
    if (action == FolderChangeRecord::Added || root.empty())
        return false;
    const std::string current = m_names.Folder();
    const std::string full = root + "/" + name;
    // The shown folder (or a folder above it) removed or renamed: the pane empties.
    if ((action == FolderChangeRecord::Removed || action == FolderChangeRecord::RenamedOldName) &&
        !current.empty() && IsSameOrBelow(current, full)) {
        ShowFolder(std::string(), false);
        return true;
    }
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos)
        return false;
    if (root + "/" + name.substr(0, slash) != current)
        return false;
    const std::string file = name.substr(slash + 1);
    if (!IsShownResourceName(file))
        return false;
    switch (action) {
    case FolderChangeRecord::Removed:
    case FolderChangeRecord::RenamedOldName:
        RemoveName(file);
        PostScrollUpdate();
        return true;
    case FolderChangeRecord::RenamedNewName:
        InsertNameSorted(file);
        PostScrollUpdate();
        return true;
    case FolderChangeRecord::Modified:
        // A shown picture written anew is drawn again (the cache knows it by its time).
        return ContainsName(file);
    default:
        return false;
    }
}

void CResourcesBrowserDlg::RescanAfterLostChanges()
{
    m_names.Clear();
    RescanFolder();
    PostScrollUpdate();
    PostRepaint();
}

void CResourcesBrowserDlg::RepaintAfterChanges()
{
    PostRepaint();
}

void CResourcesBrowserDlg::PostScrollUpdate()
{
    if (m_scrollUpdatePosted.exchange(true))
        return;
    varnolet::MainThreadCall::postTo(this, [this] {
        m_scrollUpdatePosted = false;
        UpdateScrollRange();
    });
}

void CResourcesBrowserDlg::PostRepaint()
{
    if (m_repaintPosted.exchange(true))
        return;
    varnolet::MainThreadCall::postTo(this, [this] {
        m_repaintPosted = false;
        update();
    });
}
