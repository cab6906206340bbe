#include "xcb.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <poll.h>

namespace vp::x11 {

xcb_connection_t* qtConnection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return native ? native->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return s ? s->root : xcb_window_t(XCB_WINDOW_NONE);
}

void roundTrip(xcb_connection_t* c)
{
    Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c, std::initializer_list<const char*> names)
{
    std::vector<xcb_intern_atom_cookie_t> asked;
    asked.reserve(names.size());
    for (const char* n : names)
        asked.push_back(xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(n)), n));
    std::vector<xcb_atom_t> got;
    got.reserve(names.size());
    for (const auto cookie : asked) {
        const Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, cookie, nullptr));
        got.push_back(r ? r->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return got;
}

xcb_atom_t atom(Atom a)
{
    static std::vector<xcb_atom_t> table;
    if (table.empty()) {
        xcb_connection_t* c = qtConnection();
        if (!c)
            return XCB_ATOM_NONE;
        table = internAtoms(c, {
#define VP_X11_ATOM_NAME(id, name) name,
                                   VP_X11_ATOMS(VP_X11_ATOM_NAME)
#undef VP_X11_ATOM_NAME
                               });
    }
    return table[static_cast<std::size_t>(a)];
}

namespace {

Reply<xcb_get_property_reply_t> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                                         std::uint32_t most)
{
    return Reply<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, most), nullptr));
}

} // namespace

std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type,
                                     std::uint32_t most)
{
    std::vector<std::uint32_t> values;
    if (const auto r = property(c, w, prop, type, most); r && r->format == 32 && r->type == type) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
        values.assign(v, v + xcb_get_property_value_length(r.get()) / 4);
    }
    return values;
}

std::vector<xcb_atom_t> atoms(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, std::uint32_t most)
{
    return cardinals(c, w, prop, XCB_ATOM_ATOM, most);
}

xcb_window_t window(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop)
{
    const auto v = cardinals(c, w, prop, XCB_ATOM_WINDOW, 1);
    return v.size() == 1 ? v.front() : xcb_window_t(XCB_WINDOW_NONE);
}

QByteArray bytes(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, std::uint32_t most)
{
    const auto r = property(c, w, prop, XCB_GET_PROPERTY_TYPE_ANY, most);
    return r ? QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                          xcb_get_property_value_length(r.get()))
             : QByteArray();
}

void setCardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type,
                  const std::vector<std::uint32_t>& values)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, prop, type, 32, static_cast<std::uint32_t>(values.size()),
                        values.data());
}

void setAtoms(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, const std::vector<xcb_atom_t>& values)
{
    setCardinals(c, w, prop, XCB_ATOM_ATOM, values);
}

std::optional<QPoint> positionOnRoot(xcb_connection_t* c, xcb_window_t w)
{
    const Reply<xcb_translate_coordinates_reply_t> t(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, rootOf(c), 0, 0), nullptr));
    return t ? std::optional<QPoint>(QPoint(t->dst_x, t->dst_y)) : std::nullopt;
}

// ---------------------------------------------------------------- the watch

// Reads the watch's events whenever the event loop finds some on its socket.
struct Watch::Notifier : QSocketNotifier {
    using QSocketNotifier::QSocketNotifier;
};

namespace {

Watch* s_watch = nullptr;
bool s_tried = false;

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
// Opened before Qt by connectAhead, until the watch takes it.
std::unique_ptr<xcb_connection_t, Disconnect> s_ahead;

// Owns the watch for as long as the application lives; the watch goes with it.
struct Holder final : QObject {
    explicit Holder(QObject* parent) : QObject(parent) {}
    ~Holder() override { s_watch = nullptr; }
    std::unique_ptr<Watch> watch;
};

} // namespace

Watch* Watch::instance()
{
    if (s_watch || s_tried || !qtConnection())
        return s_watch;
    s_tried = true;
    // The display Qt opened: it takes no -display, so it is DISPLAY's, which
    // the connection made ahead of Qt is to as well.
    xcb_connection_t* c = s_ahead ? s_ahead.release() : xcb_connect(qgetenv("DISPLAY").constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    auto* holder = new Holder(qGuiApp);
    holder->watch.reset(new Watch(c));
    s_watch = holder->watch.get();
    return s_watch;
}

bool Watch::connectAhead(const char* display)
{
    s_ahead.reset(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(s_ahead.get()) == 0)
        return true;
    s_ahead.reset();
    return false;
}

Watch::Watch(xcb_connection_t* c) : m_c(c), m_root(rootOf(c))
{
    // Property changes of the root window: the window manager's check window among them.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
    roundTrip(m_c);
    m_notifier = std::make_unique<Notifier>(xcb_get_file_descriptor(m_c), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { dispatch(); });
}

Watch::~Watch()
{
    m_notifier.reset();
    xcb_disconnect(m_c);
}

void Watch::dispatch()
{
    while (const Reply<xcb_generic_event_t> e{xcb_poll_for_event(m_c)})
        handle(*e);
    if (xcb_connection_has_error(m_c))
        m_notifier->setEnabled(false);
}

namespace {

// The window an event is about, as it was selected on; none for errors and the like.
xcb_window_t windowOf(const xcb_generic_event_t& e)
{
    switch (e.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY:
        return reinterpret_cast<const xcb_property_notify_event_t&>(e).window;
    case XCB_CONFIGURE_NOTIFY:
        return reinterpret_cast<const xcb_configure_notify_event_t&>(e).event;
    case XCB_MAP_NOTIFY:
        return reinterpret_cast<const xcb_map_notify_event_t&>(e).event;
    case XCB_UNMAP_NOTIFY:
        return reinterpret_cast<const xcb_unmap_notify_event_t&>(e).event;
    default:
        return XCB_WINDOW_NONE;
    }
}

} // namespace

void Watch::handle(const xcb_generic_event_t& e)
{
    const xcb_window_t w = windowOf(e);
    if (w == XCB_WINDOW_NONE)
        return;
    const bool property = (e.response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
    const xcb_atom_t changed = property ? reinterpret_cast<const xcb_property_notify_event_t&>(e).atom : 0;
    if (property && w == m_root && onRootProperty)
        onRootProperty(changed);
    // A copy: a selection told of the event may end.
    const auto selections = m_selections;
    for (Selection* s : selections) {
        if (std::find(m_selections.begin(), m_selections.end(), s) == m_selections.end() || s->m_window != w)
            continue;
        if (property && changed == s->m_awaited)
            s->m_changed = true;
        if (s->m_seen)
            s->m_seen(e);
    }
}

Watch::Selection::Selection(xcb_window_t w, std::uint32_t mask, std::function<void(const xcb_generic_event_t&)> seen)
    : m_watch(instance()),
      m_window(w),
      m_seen(std::move(seen))
{
    if (!m_watch)
        return;
    m_watch->m_selections.push_back(this);
    // The window must be on the server before it can be watched: Qt may
    // still hold its creation in its buffer.
    roundTrip(qtConnection());
    if (w == m_watch->m_root)
        mask |= XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_watch->m_c, m_window, XCB_CW_EVENT_MASK, &mask);
    // Watched before whatever follows on Qt's connection is asked.
    roundTrip(m_watch->m_c);
}

Watch::Selection::~Selection()
{
    if (!m_watch || s_watch != m_watch)
        return;
    std::erase(m_watch->m_selections, this);
    const std::uint32_t mask = m_window == m_watch->m_root ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_watch->m_c, m_window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_watch->m_c);
}

bool Watch::Selection::waitFor(xcb_atom_t prop, std::chrono::milliseconds deadline, const std::function<bool()>& done)
{
    if (!m_watch)
        return done();
    xcb_connection_t* c = m_watch->m_c;
    const auto end = std::chrono::steady_clock::now() + deadline;
    m_awaited = prop;
    struct Over {
        Selection& s;
        ~Over() { s.m_awaited = XCB_ATOM_NONE; }
    } over{*this};
    m_changed = true; // asked once before any change
    for (;;) {
        if (m_changed && done())
            return true;
        m_changed = false;
        while (!m_changed)
            if (const Reply<xcb_generic_event_t> e{xcb_poll_for_event(c)})
                m_watch->handle(*e);
            else
                break;
        if (m_changed)
            continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(c))
            return done();
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left) + 1);
    }
}

} // namespace vp::x11
