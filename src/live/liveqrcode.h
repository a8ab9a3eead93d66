#pragma once

#include <QImage>
#include <QString>

// The QR code of a text (a page's address) as black modules on white, with the quiet zone of
// four modules around it, `moduleSize` pixels per module; a null image when the text does not
// fit into a QR code.
QImage liveQrCode(const QString &text, int moduleSize);
