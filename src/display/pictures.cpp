#include "display/pictures.h"

#include "platform/jpegdecoder.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>

// Outside any namespace: the resource's initialiser is declared where this is expanded.
static void initBackgroundResource()
{
    Q_INIT_RESOURCE(background);
}

namespace {

// The built-in picture's sizes: the full one, and its copy for the main window's box.
constexpr QSize kBuiltInSize(1920, 1080);
constexpr QSize kBuiltInWindowSize(900, 506);

QImage builtInBackground(QSize area)
{
    initBackgroundResource();
    // An area that the main window's copy covers gets that copy: a seventh of the bytes to
    // decode, and nothing to scale for the main window itself.
    const QSize shown = Pictures::fitKeepAspect(kBuiltInSize, area);
    const bool windowCopy = !area.isEmpty() && shown.width() <= kBuiltInWindowSize.width()
        && shown.height() <= kBuiltInWindowSize.height();
    QFile file(windowCopy ? QStringLiteral(":/default-background-window.jpg")
                          : QStringLiteral(":/default-background.jpg"));
    if (file.open(QIODevice::ReadOnly)) {
        try {
            return Jpeg::decode(file.readAll(), QSize(), area);
        } catch (const JpegError &) { }
    }
    // Only a broken build gets here; the scoreboard must still stand on something dark.
    QImage plain(kBuiltInSize, QImage::Format_RGB32);
    plain.fill(QColor(12, 18, 32));
    return plain;
}

} // namespace

namespace Pictures {

QString backgroundFileName()
{
    return QStringLiteral("Hintergrund.jpg");
}

QString logoFileName(int n)
{
    if (n == 0)
        return QStringLiteral("TV-Logo.jpg");
    if (n > 0 && n < kLogoCount)
        return QStringLiteral("TV-Logo%1.jpg").arg(n);
    return {};
}

QImage defaultBackground(QSize area)
{
    return builtInBackground(area);
}

QSize largestMonitorSize(const MonitorList &monitors)
{
    QSize largest;
    for (int i = 0; i < monitors.count(); ++i) {
        const QSize size = monitors.rect(i).size();
        if (largest.isEmpty()
            || qint64(size.width()) * size.height() > qint64(largest.width()) * largest.height())
            largest = size;
    }
    return largest;
}

bool loadPicture(const QString &path, QImage &picture, QSize largestMonitor, QSize area)
{
    if (!QFileInfo(path).isFile())
        return false;
    try {
        picture = Jpeg::readFile(path, largestMonitor, area);
        return true;
    } catch (const JpegError &) {
        return false;
    }
}

QImage loadBackground(const QStringList &folders, QSize largestMonitor, QSize area)
{
    QImage background;
    const QString path = ProgramInfo::findDataFile(backgroundFileName(), folders);
    if (!path.isEmpty() && loadPicture(path, background, largestMonitor, area))
        return background;
    return defaultBackground(area);
}

bool loadLogo(const QStringList &folders, int n, QImage &logo, QSize largestMonitor)
{
    const QString name = logoFileName(n);
    if (name.isEmpty())
        return false;
    const QString path = ProgramInfo::findDataFile(name, folders);
    return !path.isEmpty() && loadPicture(path, logo, largestMonitor);
}

QSize fitKeepAspect(const QSize &picture, const QSize &area)
{
    const qint64 w = picture.width();
    const qint64 h = picture.height();
    const qint64 cw = std::max(0, area.width());
    const qint64 ch = std::max(0, area.height());
    if (w <= 0 || h <= 0)
        return {};
    qint64 fw;
    qint64 fh;
    if (w > h) {
        fw = cw;
        fh = cw * h / w;
        if (fh > ch) {
            fh = ch;
            fw = ch * w / h;
        }
    } else {
        fh = ch;
        fw = ch * w / h;
        if (fw > cw) {
            fw = cw;
            fh = cw * h / w;
        }
    }
    return QSize(int(fw), int(fh));
}

QRect fitRect(PictureFit fit, const QSize &picture, const QSize &area)
{
    if (picture.isEmpty() || area.isEmpty())
        return {};
    switch (fit) {
    case PictureFit::Stretch:
        return QRect(QPoint(0, 0), area);
    case PictureFit::KeepAspectTopLeft:
        return QRect(QPoint(0, 0), fitKeepAspect(picture, area));
    case PictureFit::KeepAspectCentred: {
        const QSize size = fitKeepAspect(picture, area);
        return QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
    }
    }
    return {};
}

QImage fitted(PictureFit fit, const QImage &picture, const QSize &area)
{
    const QSize target = fitRect(fit, picture.size(), area).size();
    if (target.isEmpty())
        return {};
    QImage scaled = picture.size() == target
        ? picture
        : picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32 && !scaled.hasAlphaChannel())
        scaled.convertTo(QImage::Format_RGB32);
    return scaled;
}

} // namespace Pictures

FittedPicture::FittedPicture(PictureFit fit)
    : m_fit(fit)
{ }

bool FittedPicture::setPicture(const QImage &picture)
{
    if (picture.cacheKey() == m_picture.cacheKey())
        return false;
    m_picture = picture;
    rescale(true);
    return true;
}

bool FittedPicture::setAreaSize(const QSize &size)
{
    if (size == m_areaSize)
        return false;
    const QRect oldTarget = m_target;
    m_areaSize = size;
    rescale(false);
    return m_target != oldTarget;
}

void FittedPicture::paint(QPainter &painter, const QPoint &origin) const
{
    if (!m_scaled.isNull())
        painter.drawImage(m_target.topLeft() + origin, m_scaled);
}

void FittedPicture::rescale(bool pictureChanged)
{
    const QRect target = Pictures::fitRect(m_fit, m_picture.size(), m_areaSize);
    if (target.isEmpty()) {
        m_target = QRect();
        m_scaled = QImage();
        return;
    }
    if (pictureChanged || target.size() != m_target.size() || m_scaled.isNull())
        m_scaled = Pictures::fitted(m_fit, m_picture, m_areaSize);
    m_target = target;
}
