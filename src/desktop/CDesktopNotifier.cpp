#include "desktop/CDesktopNotifier.h"

#include "qtsupport/QtText.h"

namespace palaverly {

CDesktopNotifier::CDesktopNotifier(std::unique_ptr<INotificationBus> bus,
                                   std::function<void()> activate)
    : m_bus(std::move(bus)), m_activate(std::move(activate)),
      m_alive(std::make_shared<bool>(true)) {
    if (!m_bus)
        return;
    INotificationBus::Handlers handlers;
    handlers.actionInvoked = [this](quint32 id, const QString& key) {
        if (id == 0 || id != m_id || key != QStringLiteral("default"))
            return;
        Reset();
        if (m_activate)
            m_activate();
    };
    handlers.closed = [this](quint32 id) {
        // Closed by the user or timed out: the next arrival starts a new count.
        if (id != 0 && id == m_id) {
            m_id = 0;
            if (!m_inFlight)
                Reset();
        }
    };
    m_bus->SetHandlers(std::move(handlers));
}

CDesktopNotifier::~CDesktopNotifier() {
    *m_alive = false;
}

QString CDesktopNotifier::Summary(const IncomingMessage& message) {
    QString sender = FromCp932(message.senderHandle);
    if (sender.isEmpty())
        sender = FromCp932(message.senderComputer);
    QString kind;
    if (message.kind == IncomingMessage::Kind::Alert)
        kind = QStringLiteral("BEEP攻撃");
    else
        kind =
            message.broadcast ? QStringLiteral("同報メッセージ") : QStringLiteral("個人メッセージ");
    return sender + QStringLiteral("：") + kind;
}

QString CDesktopNotifier::Body(int count, const QString& latestText) {
    if (count <= 1)
        return latestText;
    return QStringLiteral("%1件のメッセージ\n%2").arg(count).arg(latestText);
}

QString CDesktopNotifier::EscapeMarkup(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

void CDesktopNotifier::Arrived(const IncomingMessage& message) {
    if (!m_bus)
        return;
    if (m_id == 0 && !m_inFlight)
        m_count = 0;
    ++m_count;
    m_summary = Summary(message);
    m_latestText = FromCp932(message.text);
    m_dismissed = false;
    if (m_inFlight) {
        m_changed = true;
        return;
    }
    m_inFlight = true;
    if (m_markup != Markup::Unknown) {
        Send();
        return;
    }
    std::weak_ptr<bool> alive = m_alive;
    m_bus->GetCapabilities([this, alive](const QStringList& capabilities) {
        if (alive.expired())
            return;
        if (capabilities.isEmpty()) {
            // No service (yet): this burst is not shown; the next arrival asks again.
            Reset();
            return;
        }
        m_markup = capabilities.contains(QStringLiteral("body-markup")) ? Markup::Interpreted
                                                                        : Markup::Plain;
        if (m_dismissed) {
            Reset();
            return;
        }
        Send();
    });
}

void CDesktopNotifier::Send() {
    m_inFlight = true;
    m_changed = false;
    QString body = Body(m_count, m_latestText);
    if (m_markup == Markup::Interpreted)
        body = EscapeMarkup(body);
    std::weak_ptr<bool> alive = m_alive;
    m_bus->Notify(m_id, m_summary, body, [this, alive](quint32 id) {
        if (!alive.expired())
            OnShown(id);
    });
}

void CDesktopNotifier::OnShown(quint32 id) {
    m_inFlight = false;
    if (id == 0) {
        // The service went away or refused: nothing is showing any more.
        Reset();
        return;
    }
    m_id = id;
    if (m_dismissed) {
        m_bus->Close(id);
        Reset();
        return;
    }
    if (m_changed)
        Send();
}

void CDesktopNotifier::Dismiss() {
    if (!m_bus)
        return;
    if (m_inFlight) {
        m_dismissed = true;
        return;
    }
    if (m_id != 0)
        m_bus->Close(m_id);
    Reset();
}

void CDesktopNotifier::Reset() {
    m_id = 0;
    m_count = 0;
    m_changed = false;
    m_dismissed = false;
    m_inFlight = false;
}

} // namespace palaverly
