#include "platform/NamedImage.h"

#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace quillary {

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/quillary/images/") + name + QStringLiteral(".svg");
}

} // namespace

QIcon namedImage(const QString& name)
{
    // QIcon renders an SVG file afresh for every size it is asked for.
    static QHash<QString, QIcon> icons;
    auto it = icons.find(name);
    if (it == icons.end()) {
        const QString path = resourcePath(name);
        it = icons.insert(name, QFileInfo::exists(path) ? QIcon(path) : QIcon());
    }
    return *it;
}

QPixmap namedPixmap(const QString& name, const QSize& size, qreal devicePixelRatio)
{
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace quillary
