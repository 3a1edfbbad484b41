#include "CPictureBox.h"

#include <QImageReader>
#include <QPainter>

CPictureBox::CPictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CPictureBox::LoadFile(const QString &fileName)
{
    m_fileName = fileName;
    QImageReader reader(fileName);
    const QImage loaded = reader.read();
    const bool ok = !loaded.isNull();
    if (ok)
        m_bitmap = loaded;
    m_width = m_bitmap.width();
    m_height = m_bitmap.height();
    update();
    return ok;
}

void CPictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_fileName.isEmpty() && !m_bitmap.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(rect()), m_bitmap);
    }
}
