// The X trace: what the X server tells the program of its windows (maps,
// focus, client messages), as trace lines (core/trace.h) for the tests.
#include "core/trace.h"
#include "core/x11/xcb.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

namespace vp {

namespace {

class XTrace final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* e = static_cast<const xcb_generic_event_t*>(message);
        switch (e->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            qCDebug(lcTrace, "x: map 0x%x", reinterpret_cast<const xcb_map_notify_event_t*>(e)->window);
            break;
        case XCB_UNMAP_NOTIFY:
            qCDebug(lcTrace, "x: unmap 0x%x", reinterpret_cast<const xcb_unmap_notify_event_t*>(e)->window);
            break;
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT: {
            const auto* f = reinterpret_cast<const xcb_focus_in_event_t*>(e);
            qCDebug(lcTrace, "x: focus %s 0x%x mode %d detail %d",
                    (e->response_type & 0x7f) == XCB_FOCUS_IN ? "in" : "out", f->event, f->mode, f->detail);
            break;
        }
        case XCB_CLIENT_MESSAGE:
            qCDebug(lcTrace, "x: client message to 0x%x",
                    reinterpret_cast<const xcb_client_message_event_t*>(e)->window);
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void traceWindowSystem()
{
    if (!lcTrace().isDebugEnabled() || !QCoreApplication::instance())
        return;
    static XTrace filter;
    QCoreApplication::instance()->installNativeEventFilter(&filter);
}

} // namespace vp
