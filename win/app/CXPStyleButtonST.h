#pragma once

#include <QImage>
#include <QPushButton>
#include <QString>

class CThemeHelperST;

// An image push button of the main window: it draws a picture file scaled to the largest
// size that fits with its aspect ratio kept, centred, and shows its text only as a tooltip.
class CXPStyleButtonST final : public QPushButton
{
public:
    CXPStyleButtonST(int controlId, QWidget *parent);

    int ControlId() const { return m_controlId; }

    // The theme object and whether the system draws themed controls.
    void SetThemeHelper(CThemeHelperST *theme, bool themed);
    // Loads the picture; answers false (and keeps no picture) when the file can't be read.
    bool SetImageFile(const QString &path);
    const QString &ImageFile() const { return m_imageFile; }
    bool HasImage() const { return !m_image.isNull(); }

    // The button's text, shown as its tooltip.
    void SetTooltipText(const QString &text);

    // The rectangle a picture of the given size takes in a box: the largest that fits with
    // the aspect ratio kept, centred.
    static QRect FitRectangle(const QSize &image, const QRect &box);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_controlId;
    CThemeHelperST *m_theme = nullptr;
    bool m_themed = false;
    QString m_imageFile;
    QImage m_image;
    QImage m_disabledImage;
};
