#include "win/app/CNormalSplitterWnd.h"
#include "win/app/CXSplitterWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSplitterHandle>

#include "platform/system/SystemPaths.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;
using varnolet::test::processEventsUntil;

namespace {

class XSplitterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_splitter.addWidget(new QWidget);
        m_splitter.addWidget(new QWidget);
        m_splitter.resize(808, 400);
        m_splitter.show();
        processEventsUntil([&] { return m_splitter.isVisible(); });
        m_splitter.setSizes({200, 600});
        m_splitter.SetCollapseMode(CXSplitterWnd::CollapseFirstColumn);
    }

    // Sends a press and release of a button at a point of the splitter to its bar.
    void click(const QPoint &at, Qt::MouseButton button = Qt::LeftButton)
    {
        QSplitterHandle *bar = m_splitter.handle(1);
        const QPointF local = bar->mapFrom(&m_splitter, at);
        const QPointF global = bar->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(bar, &release);
    }

    void moveTo(const QPoint &at)
    {
        QSplitterHandle *bar = m_splitter.handle(1);
        const QPointF local = bar->mapFrom(&m_splitter, at);
        QCursor::setPos(bar->mapToGlobal(local.toPoint()));
        QMouseEvent move(QEvent::MouseMove, local, bar->mapToGlobal(local), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }

    QPoint toggleCentre() const { return m_splitter.ToggleRect().center(); }

    CXSplitterWnd m_splitter{Qt::Horizontal, varnolet::SystemPaths::fromEnvironment()};
};

} // namespace

TEST_F(XSplitterTest, ToggleSitsOnTheBarCentredAlongIt)
{
    const QRect toggle = m_splitter.ToggleRect();
    EXPECT_EQ(toggle, QRect(200, 400 / 2 - 25, 8, 50));
    EXPECT_EQ(m_splitter.handle(1)->geometry().left(), 200);
    // Without a mode there is no toggle.
    m_splitter.SetCollapseMode(CXSplitterWnd::NoToggle);
    EXPECT_TRUE(m_splitter.ToggleRect().isNull());
}

TEST_F(XSplitterTest, ClickOnTheToggleCollapsesAndRestoresTheRememberedSize)
{
    EXPECT_EQ(m_splitter.ToggleStrip(), 0); // left arrow while expanded
    click(toggleCentre());
    EXPECT_TRUE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.sizes().at(0), 0);
    EXPECT_EQ(m_splitter.ToggleStrip(), 1); // right arrow: where the bar will move

    // Dragging the bar gives the column a size again; the flag stays set.
    m_splitter.setSizes({120, 680});
    EXPECT_TRUE(m_splitter.IsCollapsed());
    click(toggleCentre());
    EXPECT_FALSE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.sizes().at(0), 200);
}

TEST_F(XSplitterTest, AClickBesideTheToggleDoesNotToggle)
{
    click(QPoint(204, 20));
    EXPECT_FALSE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.sizes().at(0), 200);
}

TEST_F(XSplitterTest, RightClickSwapsTheModeAndKeepsTheState)
{
    click(toggleCentre(), Qt::RightButton);
    EXPECT_EQ(m_splitter.CollapseMode(), CXSplitterWnd::CollapseSecondColumn);
    EXPECT_FALSE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.ToggleStrip(), 1);

    // With mode 2 the second column is the one hidden.
    click(toggleCentre());
    EXPECT_TRUE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.sizes().at(1), 0);
    click(QPoint(m_splitter.ToggleRect().center()), Qt::RightButton);
    EXPECT_EQ(m_splitter.CollapseMode(), CXSplitterWnd::CollapseFirstColumn);
    EXPECT_TRUE(m_splitter.IsCollapsed());
    click(toggleCentre());
    EXPECT_FALSE(m_splitter.IsCollapsed());
    EXPECT_EQ(m_splitter.sizes().at(0), 200);
}

TEST_F(XSplitterTest, HoverTurnsTheArrowRedAndLeavingTurnsItGreenQuickly)
{
    moveTo(toggleCentre());
    ASSERT_TRUE(processEventsUntil([&] { return m_splitter.IsHover(); }, 500ms));
    EXPECT_EQ(m_splitter.ToggleImage(), 1);

    moveTo(QPoint(204, 10)); // still on the bar, off the toggle
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(processEventsUntil([&] { return !m_splitter.IsHover(); }, 500ms));
    // The hover timer runs every 10 ms; allow for a loaded machine.
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_EQ(m_splitter.ToggleImage(), 0);
}

TEST_F(XSplitterTest, RowModesCollapseRows)
{
    CXSplitterWnd rows(Qt::Vertical, varnolet::SystemPaths::fromEnvironment());
    rows.addWidget(new QWidget);
    rows.addWidget(new QWidget);
    rows.resize(300, 608);
    rows.show();
    processEventsUntil([&] { return rows.isVisible(); });
    rows.setSizes({200, 400});
    rows.SetCollapseMode(CXSplitterWnd::CollapseSecondRow);
    EXPECT_EQ(rows.ToggleRect(), QRect(300 / 2 - 25, 200, 50, 8));
    EXPECT_EQ(rows.ToggleStrip(), 3);
    rows.Collapse();
    EXPECT_EQ(rows.sizes().at(1), 0);
    EXPECT_EQ(rows.ToggleStrip(), 2);
    rows.Expand();
    EXPECT_EQ(rows.sizes().at(0), 200);
}

TEST(NormalSplitterTest, TheActivePaneIsTheOneWithTheFocus)
{
    CNormalSplitterWnd splitter(Qt::Vertical);
    auto *top = new QWidget;
    auto *bottom = new QWidget;
    top->setFocusPolicy(Qt::StrongFocus);
    bottom->setFocusPolicy(Qt::StrongFocus);
    splitter.addWidget(top);
    splitter.addWidget(bottom);
    splitter.show();
    splitter.activateWindow();
    processEventsUntil([&] { return splitter.isVisible(); });
    splitter.SetActivePane(1);
    ASSERT_TRUE(processEventsUntil([&] { return splitter.ActivePane() == 1; }, 1s));
    splitter.SetActivePane(0);
    ASSERT_TRUE(processEventsUntil([&] { return splitter.ActivePane() == 0; }, 1s));
}
