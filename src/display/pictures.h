#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class MonitorList;
class QPainter;

// How a picture is fitted into its area.
enum class PictureFit
{
    KeepAspectTopLeft, // the main window's background
    Stretch, // the TV window's background
    KeepAspectCentred, // the logo in the video area
};

namespace Pictures {

// Alt+0 .. Alt+5.
inline constexpr int kLogoCount = 6;

// "Hintergrund.jpg".
QString backgroundFileName();
// "TV-Logo.jpg" for 0, "TV-Logo1.jpg" .. "TV-Logo5.jpg" for 1..5; empty for any other n.
QString logoFileName(int n);

// The built-in 1920 x 1080 background; for a smaller area given, decoded at a smaller scale
// that still covers it (see Jpeg::decode).
QImage defaultBackground(QSize area = QSize());

// Pictures are read for the largest monitor (see Jpeg::decode), so that a huge file neither
// fills the memory nor slows the start. Callers that know no monitors use the TV layout's
// reference frame.
inline constexpr QSize kReferenceMonitor(1920, 1080);

// The size of the monitor with the largest area.
QSize largestMonitorSize(const MonitorList &monitors);

// Replaces picture by the JPEG file at path, scaled down for the largest monitor when it is
// large, and for the area it fills when one is given (see Jpeg::decode). A missing or
// unreadable file, or one too large even then, leaves picture as it was, silently. Returns
// whether the picture was replaced.
bool loadPicture(const QString &path, QImage &picture, QSize largestMonitor, QSize area = QSize());

// The background of a window: the first "Hintergrund.jpg" in folders (each ending in a
// separator, see ProgramInfo::dataFolders) when it reads, the built-in picture otherwise;
// decoded for the area of that window when one is given. Each window reads its own at its
// own size: the main window's at start, the TV window's when it is first shown.
QImage loadBackground(
    const QStringList &folders, QSize largestMonitor = kReferenceMonitor, QSize area = QSize());

// LogoClick and the first logo: the first file of logo n in folders into logo, which stays
// as it is when there is none or it is unreadable. Returns whether logo was replaced.
bool loadLogo(const QStringList &folders, int n, QImage &logo, QSize largestMonitor = kReferenceMonitor);

// The size of a picture scaled to fit inside area with its aspect ratio kept.
QSize fitKeepAspect(const QSize &picture, const QSize &area);
// Where a picture is drawn in an area of the given size, in the area's coordinates.
QRect fitRect(PictureFit fit, const QSize &picture, const QSize &area);
// The picture at the size fitRect gives it, as FittedPicture draws it; null when that is empty.
QImage fitted(PictureFit fit, const QImage &picture, const QSize &area);

} // namespace Pictures

// A picture drawn into an area by one fitting rule. The scaled copy is made when the
// picture or the area changes, so painting never scales.
class FittedPicture
{
public:
    explicit FittedPicture(PictureFit fit);

    // Both return whether what is drawn changed, so the owner knows to repaint.
    bool setPicture(const QImage &picture);
    bool setAreaSize(const QSize &size);

    PictureFit fit() const { return m_fit; }
    const QImage &picture() const { return m_picture; }
    QSize areaSize() const { return m_areaSize; }
    // Where the picture lies in the area; empty when there is nothing to draw.
    QRect target() const { return m_target; }
    // The picture at the size of target().
    const QImage &scaled() const { return m_scaled; }

    // Draws the scaled picture into the area whose top-left corner is at origin.
    void paint(QPainter &painter, const QPoint &origin = QPoint()) const;

private:
    void rescale(bool pictureChanged);

    PictureFit m_fit;
    QImage m_picture;
    QSize m_areaSize;
    QRect m_target;
    QImage m_scaled;
};
