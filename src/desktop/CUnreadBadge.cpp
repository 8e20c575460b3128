#include "desktop/CUnreadBadge.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace palaverly {
namespace {

constexpr int kIconSize = 32; // logical size of the tray icon's pixmaps

} // namespace

void CUnreadBadge::Add(const QString& sender) {
    ++m_count;
    m_lastSender = sender;
}

void CUnreadBadge::Clear() {
    m_count = 0;
    m_lastSender.clear();
}

QString CUnreadBadge::ToolTip() const {
    if (m_count == 0)
        return QStringLiteral("Palaverly");
    return QStringLiteral("Palaverly - %1 unread, the latest from %2")
        .arg(m_count)
        .arg(m_lastSender);
}

QIcon CUnreadBadge::Icon(const QIcon& base, std::initializer_list<qreal> ratios) const {
    if (m_count == 0)
        return base;
    const QString label = m_count > 99 ? QStringLiteral("99+") : QString::number(m_count);
    QIcon icon;
    for (qreal ratio : ratios) {
        // Painted in device pixels so that the badge's edge and digits are sharp at 2x.
        const QSize device = QSize(kIconSize, kIconSize) * ratio;
        QPixmap pixmap(device);
        pixmap.fill(Qt::transparent);
        {
            // The base at its largest image; scaled only where no image of that size exists.
            const QPixmap image = base.pixmap(device);
            QPainter under(&pixmap);
            under.setRenderHint(QPainter::SmoothPixmapTransform);
            under.drawPixmap(QRect(QPoint(), device), image);
        }
        pixmap.setDevicePixelRatio(ratio);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF badge(kIconSize * 0.38, 0, kIconSize * 0.62, kIconSize * 0.5);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(0xD0, 0x1C, 0x1C));
        painter.drawRoundedRect(badge.adjusted(0.75, 0.75, -0.75, -0.75), badge.height() / 2,
                                badge.height() / 2);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(label.size() > 2 ? 9 : 12);
        painter.setFont(font);
        painter.drawText(badge, Qt::AlignCenter, label);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace palaverly
