#pragma once

#include "platform/measure/CalibrationStore.h"
#include "platform/measure/MeasureScene.h"
#include "platform/system/MessageBox.h"

#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QSize>

namespace varnolet {

class PhotoAnnotationSlot;

// The measuring state of one live picture: the camera and capture size, the calibration in
// use, the tool being used and the measurements made. Every change is published for photos
// (a PhotoAnnotation in the slot given) and announced with changed(). UI thread only.
class MeasureController final : public QObject
{
    Q_OBJECT

public:
    // The program's own text lookup: key and built-in text in, the user's language out.
    using TextLookup = std::function<QString(const char *key, const char *builtIn)>;

    // messages: where a damaged or unsaved calibration file is told. annotations: where
    // the photos' annotation is published; it outlives the controller.
    MeasureController(std::string storePath, TextLookup texts, MessageBox messages,
                      PhotoAnnotationSlot &annotations, QObject *parent = nullptr);
    ~MeasureController() override;

    void setCamera(const std::string &cameraKey);
    const std::string &camera() const { return m_camera; }
    void setPictureSize(const QSize &size);
    QSize pictureSize() const { return m_scene.pictureSize; }

    // Starts a tool (drops a half-drawn measurement); none: no tool.
    void setTool(std::optional<Measurement::Tool> tool);
    std::optional<Measurement::Tool> tool() const { return m_tool; }
    // A click at a picture point with the tool in use. A measurement that has all its
    // points is kept; a calibration line emits calibrationLineDrawn().
    void addPoint(const QPointF &point);
    // Where the pointer is (picture coordinates), drawn as the next point; none: off.
    void setHover(std::optional<QPointF> point);
    // Ends a polyline at its last clicked point (kept with two points or more).
    void finishDrawing();
    bool isDrawing() const { return !m_scene.drawing.points.empty(); }
    // Removes the measurements and any half-drawn one; the tool stays.
    void clear();
    bool hasMeasurements() const { return !m_scene.measurements.empty() || isDrawing(); }

    // Calibrates the current preset (a new one named presetName when it has no such
    // preset) at the current picture size. False for lengths that give no scale.
    bool calibrate(double pixelLength, double knownLength, LengthUnit unit,
                   const std::string &presetName);
    // Preset list of the current camera; the store is saved after every change.
    std::vector<std::string> presetNames() const;
    std::string currentPreset() const;
    bool choosePreset(const std::string &name);
    bool addPreset(const std::string &name);
    bool renamePreset(const std::string &from, const std::string &to);
    bool deletePreset(const std::string &name);

    void setBurnIn(bool burnIn);
    bool burnIn() const { return m_burnIn; }

    const MeasureScene &scene() const { return m_scene; }
    QString text(const char *key, const char *builtIn) const { return m_texts(key, builtIn); }
    // Looks the scene's texts up again (language change).
    void retitle();
    const CalibrationStore &store() const { return m_store; }

signals:
    void changed();
    void calibrationLineDrawn(double pixelLength);

private:
    void refreshScale();
    bool storeChanged(bool changedStore);
    void publish();

    PhotoAnnotationSlot &m_annotations;
    TextLookup m_texts;
    MessageBox m_messages;
    CalibrationStore m_store;
    std::string m_camera;
    MeasureScene m_scene;
    std::optional<Measurement::Tool> m_tool;
    bool m_burnIn = false;
    bool m_hoverShown = false; // the drawing's last point follows the pointer
};

} // namespace varnolet
