#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// A static picture: white, with the loaded bitmap stretched over the whole area (the
// aspect ratio is not kept).
class CPictureBox final : public QWidget
{
public:
    explicit CPictureBox(QWidget *parent = nullptr);

    // Stores the name and loads the file; the held bitmap is replaced only when the load
    // succeeds. Repaints. Answers whether the file could be loaded.
    bool LoadFile(const QString &fileName);

    const QString &FileName() const { return m_fileName; }
    int BitmapWidth() const { return m_width; }
    int BitmapHeight() const { return m_height; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_fileName;
    QImage m_bitmap;
    int m_width = 0;
    int m_height = 0;
};
