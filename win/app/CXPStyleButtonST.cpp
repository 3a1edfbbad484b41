#include "CXPStyleButtonST.h"

#include "win/app/CThemeHelperST.h"

#include <QImageReader>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

// A washed-out grey copy for the disabled look.
QImage disabledCopy(const QImage &image)
{
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int g = qGray(line[x]);
            const int light = 128 + g / 2;
            line[x] = qRgba(light, light, light, qAlpha(line[x]) / 2);
        }
    }
    return grey;
}

} // namespace

CXPStyleButtonST::CXPStyleButtonST(int controlId, QWidget *parent)
    : QPushButton(parent)
    , m_controlId(controlId)
{
    setProperty("controlId", controlId);
    setFocusPolicy(Qt::TabFocus);
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setAttribute(Qt::WA_Hover);
}

void CXPStyleButtonST::SetThemeHelper(CThemeHelperST *theme, bool themed)
{
    m_theme = theme;
    m_themed = themed && theme;
    update();
}

bool CXPStyleButtonST::SetImageFile(const QString &path)
{
    m_imageFile = path;
    QImageReader reader(path);
    m_image = reader.read();
    m_disabledImage = m_image.isNull() ? QImage() : disabledCopy(m_image);
    update();
    return !m_image.isNull();
}

void CXPStyleButtonST::SetTooltipText(const QString &text)
{
    setToolTip(text);
    setAccessibleName(text);
}

QRect CXPStyleButtonST::FitRectangle(const QSize &image, const QRect &box)
{
    if (image.isEmpty() || box.isEmpty())
        return QRect(box.topLeft(), QSize(0, 0));
    const QSize fitted = image.scaled(box.size(), Qt::KeepAspectRatio);
    return QRect(box.left() + (box.width() - fitted.width()) / 2,
                 box.top() + (box.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

QSize CXPStyleButtonST::sizeHint() const
{
    return QSize(64, 64);
}

void CXPStyleButtonST::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    const bool pressed = isDown();
    const bool hovered = underMouse() && isEnabled();

    if (m_themed && (hovered || pressed)) {
        m_theme->DrawThemeParentBackground(this, painter, rect());
        option.features &= ~QStyleOptionButton::Flat;
        m_theme->DrawThemeBackground(this, painter, option);
    } else if (m_themed) {
        m_theme->DrawThemeParentBackground(this, painter, rect());
    } else {
        // Classic look: flat, with a thin raised or sunken frame under the pointer.
        painter.fillRect(rect(), palette().color(QPalette::Button));
        if (hovered || pressed) {
            const QColor light = palette().color(QPalette::Light);
            const QColor dark = palette().color(QPalette::Dark);
            const QRect r = rect().adjusted(0, 0, -1, -1);
            painter.setPen(pressed ? dark : light);
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(pressed ? light : dark);
            painter.drawLine(r.bottomLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomRight());
        }
    }

    const QImage &picture = isEnabled() ? m_image : m_disabledImage;
    if (!picture.isNull()) {
        QRect box = rect().adjusted(3, 3, -3, -3);
        if (pressed)
            box.translate(1, 1);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(FitRectangle(picture.size(), box), picture);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
