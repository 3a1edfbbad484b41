#include "MeasureController.h"

#include "platform/measure/PhotoAnnotation.h"
#include "platform/measure/PhotoAnnotationSlot.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemError.h"

#include <cmath>

#include <QString>

namespace varnolet {

MeasureController::MeasureController(std::string storePath, TextLookup texts, MessageBox messages,
                                     PhotoAnnotationSlot &annotations, QObject *parent)
    : QObject(parent)
    , m_annotations(annotations)
    , m_texts(std::move(texts))
    , m_messages(std::move(messages))
    , m_store(std::move(storePath))
{
    retitle();
    if (m_store.load() == CalibrationStore::LoadResult::SetAside)
        m_messages.warning(m_texts("ui_alert_calibration_damaged",
                                   "The calibration file was damaged and has been set aside:")
                               .toStdString() +
                           " " + m_store.setAsidePath());
}

MeasureController::~MeasureController()
{
    m_annotations.publish(nullptr);
}

void MeasureController::retitle()
{
    m_scene.notCalibratedText = m_texts("ui_measure_lab_not_calibrated", "not calibrated");
    m_scene.diameterText = m_texts("ui_measure_lab_diameter", "Diameter");
    m_scene.areaText = m_texts("ui_measure_lab_area", "Area");
    publish();
    emit changed();
}

void MeasureController::setCamera(const std::string &cameraKey)
{
    if (cameraKey == m_camera)
        return;
    m_camera = cameraKey;
    m_scene.measurements.clear();
    m_scene.drawing.points.clear();
    m_hoverShown = false;
    refreshScale();
}

void MeasureController::setPictureSize(const QSize &size)
{
    if (size == m_scene.pictureSize)
        return;
    // Points keep their place on the specimen when the capture size changes.
    if (!m_scene.pictureSize.isEmpty() && !size.isEmpty()) {
        const double sx = double(size.width()) / m_scene.pictureSize.width();
        const double sy = double(size.height()) / m_scene.pictureSize.height();
        for (Measurement &measurement : m_scene.measurements)
            for (QPointF &point : measurement.points)
                point = QPointF(point.x() * sx, point.y() * sy);
    }
    m_scene.drawing.points.clear();
    m_hoverShown = false;
    m_scene.pictureSize = size;
    refreshScale();
}

void MeasureController::refreshScale()
{
    const std::optional<Calibration> calibration =
        m_store.lookup(m_camera, m_scene.pictureSize.width(), m_scene.pictureSize.height());
    m_scene.micrometresPerPixel = calibration ? calibration->micrometresPerPixel : 0.0;
    publish();
    emit changed();
}

void MeasureController::setTool(std::optional<Measurement::Tool> tool)
{
    m_tool = tool;
    m_hoverShown = false;
    m_scene.drawing = Measurement{tool.value_or(Measurement::Tool::Line), {}};
    emit changed();
}

void MeasureController::addPoint(const QPointF &point)
{
    if (!m_tool)
        return;
    Measurement &drawing = m_scene.drawing;
    // The hover point stands in last place while drawing; the click fixes it.
    if (m_hoverShown && !drawing.points.empty())
        drawing.points.pop_back();
    m_hoverShown = false;
    drawing.points.push_back(point);
    const int needed = Measurement::pointsNeeded(drawing.tool);
    if (needed == 0 || static_cast<int>(drawing.points.size()) < needed) {
        emit changed();
        return;
    }
    Measurement done = drawing;
    drawing.points.clear();
    if (done.tool == Measurement::Tool::Calibrate) {
        emit changed();
        emit calibrationLineDrawn(std::hypot(done.points[1].x() - done.points[0].x(),
                                             done.points[1].y() - done.points[0].y()));
        return;
    }
    m_scene.measurements.push_back(std::move(done));
    publish();
    emit changed();
}

void MeasureController::setHover(std::optional<QPointF> point)
{
    Measurement &drawing = m_scene.drawing;
    if (drawing.points.empty())
        return;
    if (m_hoverShown)
        drawing.points.pop_back();
    m_hoverShown = point.has_value();
    if (point)
        drawing.points.push_back(*point);
    emit changed();
}

void MeasureController::finishDrawing()
{
    Measurement &drawing = m_scene.drawing;
    if (m_hoverShown && !drawing.points.empty())
        drawing.points.pop_back();
    m_hoverShown = false;
    if (drawing.tool == Measurement::Tool::Polyline && drawing.points.size() >= 2)
        m_scene.measurements.push_back(drawing);
    drawing.points.clear();
    publish();
    emit changed();
}

void MeasureController::clear()
{
    m_scene.measurements.clear();
    m_scene.drawing.points.clear();
    m_hoverShown = false;
    publish();
    emit changed();
}

bool MeasureController::calibrate(double pixelLength, double knownLength, LengthUnit unit,
                                  const std::string &presetName)
{
    const std::optional<double> perPixel = Calibration::fromLine(pixelLength, knownLength, unit);
    if (!perPixel || m_scene.pictureSize.isEmpty())
        return false;
    const Calibration calibration{m_scene.pictureSize.width(), m_scene.pictureSize.height(),
                                  *perPixel};
    return storeChanged(m_store.setCalibration(m_camera, presetName, calibration));
}

std::vector<std::string> MeasureController::presetNames() const
{
    return m_store.presetNames(m_camera);
}

std::string MeasureController::currentPreset() const
{
    return m_store.currentPreset(m_camera);
}

bool MeasureController::choosePreset(const std::string &name)
{
    return storeChanged(m_store.choosePreset(m_camera, name));
}

bool MeasureController::addPreset(const std::string &name)
{
    return storeChanged(m_store.addPreset(m_camera, name) && m_store.choosePreset(m_camera, name));
}

bool MeasureController::renamePreset(const std::string &from, const std::string &to)
{
    return storeChanged(m_store.renamePreset(m_camera, from, to));
}

bool MeasureController::deletePreset(const std::string &name)
{
    return storeChanged(m_store.deletePreset(m_camera, name));
}

bool MeasureController::storeChanged(bool changedStore)
{
    if (!changedStore)
        return false;
    if (const int error = m_store.save(); error != 0)
        m_messages.warning(
            m_texts("ui_alert_calibration_not_saved", "The calibration could not be saved:")
                .toStdString() +
            " " + m_store.path() + " " + SystemError::text(error));
    refreshScale();
    return true;
}

void MeasureController::setBurnIn(bool burnIn)
{
    m_burnIn = burnIn;
    publish();
    emit changed();
}

void MeasureController::publish()
{
    if (!m_scene.calibrated() && !m_burnIn) {
        m_annotations.publish(nullptr);
        return;
    }
    auto annotation = std::make_shared<PhotoAnnotation>();
    annotation->scene = m_scene;
    annotation->scene.drawing.points.clear();
    annotation->preset = currentPreset();
    annotation->burnIn = m_burnIn;
    m_annotations.publish(std::move(annotation));
}

} // namespace varnolet
