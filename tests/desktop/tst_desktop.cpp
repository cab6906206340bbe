// What only a real desktop can tell: taskbar buttons, placement on a screen
// with a panel, and which windows are mapped. Runs the program on virtual time
// but on a real X server under a real window manager (tests/desktop.sh).
#include "tests/fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <qpa/qplatformscreen.h>

#include "core/x11/windowsystem.h"
#include "core/x11/xcb.h"

#include <chrono>
#include <cstdlib>
#include <unistd.h>

using namespace vp;
using namespace vp::test;

namespace {

using x11::Reply;
using namespace std::chrono_literals;

xcb_connection_t* server() { return x11::qtConnection(); }

xcb_window_t root() { return x11::rootOf(server()); }

// The atoms the checks read and write, named once, interned at once.
#define VP_TEST_ATOMS(X)                                                                                               \
    X(WmState, "WM_STATE")                                                                                             \
    X(NetWmState, "_NET_WM_STATE")                                                                                     \
    X(SkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR")                                                                       \
    X(StateBelow, "_NET_WM_STATE_BELOW")                                                                               \
    X(StateModal, "_NET_WM_STATE_MODAL")                                                                               \
    X(FrameExtents, "_NET_FRAME_EXTENTS")                                                                              \
    X(ClientListStacking, "_NET_CLIENT_LIST_STACKING")                                                                 \
    X(ActiveWindow, "_NET_ACTIVE_WINDOW")                                                                              \
    X(Supported, "_NET_SUPPORTED")                                                                                     \
    X(WorkArea, "_NET_WORKAREA")                                                                                       \
    X(WindowType, "_NET_WM_WINDOW_TYPE")                                                                               \
    X(WindowTypeDock, "_NET_WM_WINDOW_TYPE_DOCK")                                                                      \
    X(StrutPartial, "_NET_WM_STRUT_PARTIAL")                                                                           \
    X(Strut, "_NET_WM_STRUT")                                                                                          \
    X(SupportingWmCheck, "_NET_SUPPORTING_WM_CHECK")                                                                   \
    X(WmName, "_NET_WM_NAME")                                                                                          \
    X(Utf8String, "UTF8_STRING")

enum A : std::uint8_t {
#define VP_TEST_ATOM_ENUM(id, name) id,
    VP_TEST_ATOMS(VP_TEST_ATOM_ENUM)
#undef VP_TEST_ATOM_ENUM
};
xcb_atom_t atom(A a)
{
    static const auto table = x11::internAtoms(server(), {
#define VP_TEST_ATOM_NAME(id, name) name,
                                                             VP_TEST_ATOMS(VP_TEST_ATOM_NAME)
#undef VP_TEST_ATOM_NAME
                                                         });
    return table[a];
}

// The ICCCM state the window manager gives a client: -1 none, 0 withdrawn,
// 1 normal, 3 iconic.
int wmState(xcb_window_t w)
{
    const auto state = x11::cardinals(server(), w, atom(WmState), atom(WmState), 2);
    return state.empty() ? -1 : static_cast<int>(state.front());
}

bool viewable(xcb_window_t w)
{
    const Reply<xcb_get_window_attributes_reply_t> r(
        xcb_get_window_attributes_reply(server(), xcb_get_window_attributes(server(), w), nullptr));
    return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
}

xcb_window_t idOf(Screen& s) { return static_cast<xcb_window_t>(s.window()->winId()); }

// Mapped and taken on by the window manager.
bool managed(Screen& s) { return s.window() && viewable(idOf(s)) && wmState(idOf(s)) == 1; }

// Withdrawn, and the window manager has let go of it.
bool withdrawn(Screen& s) { return !s.window() || (!viewable(idOf(s)) && wmState(idOf(s)) <= 0); }

bool skipsTaskbar(Screen& s)
{
    const auto state = x11::atoms(server(), idOf(s), atom(NetWmState));
    return std::find(state.begin(), state.end(), atom(SkipTaskbar)) != state.end();
}

// A monitor as the X server counts it: on a scaled desktop (Xft.dpi 192)
// Qt's screen is half the size in its own pixels.
QRect onTheServer(const QScreen* monitor) { return monitor->handle()->geometry(); }

// The client area on the screen, without any frame.
QRect clientOf(Screen& s)
{
    const xcb_window_t w = idOf(s);
    const Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(server(), xcb_get_geometry(server(), w), nullptr));
    const auto at = x11::positionOnRoot(server(), w);
    return g && at ? QRect(*at, QSize(g->width, g->height)) : QRect();
}

// The frame the window manager says it drew around a window (_NET_FRAME_EXTENTS:
// its decoration, not invisible borders); none where it has not said.
std::vector<std::uint32_t> extentsOf(Screen& s)
{
    return x11::cardinals(server(), idOf(s), atom(FrameExtents), XCB_ATOM_CARDINAL, 4);
}

bool framed(Screen& s) { return extentsOf(s).size() == 4; }

// The client area on the screen with the frame the window manager says it drew around it.
QRect frameOf(Screen& s)
{
    QRect r = clientOf(s);
    if (const auto m = extentsOf(s); m.size() == 4)
        r.adjust(-static_cast<int>(m[0]), -static_cast<int>(m[2]), static_cast<int>(m[1]), static_cast<int>(m[3]));
    return r;
}

std::vector<xcb_window_t> windowList(A property)
{
    return x11::cardinals(server(), root(), atom(property), XCB_ATOM_WINDOW, 256);
}

// Bottom to top as the window manager stacks its clients; -1 for a window it does not list.
int stackingIndex(Screen& s)
{
    const auto list = windowList(ClientListStacking);
    const auto it = std::find(list.begin(), list.end(), idOf(s));
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

bool isActive(Screen& s)
{
    const auto list = windowList(ActiveWindow);
    return !list.empty() && list.front() == idOf(s);
}

// What the window manager says it supports (_NET_SUPPORTED).
bool supports(A a)
{
    const auto atoms = x11::atoms(server(), root(), atom(Supported));
    return std::find(atoms.begin(), atoms.end(), atom(a)) != atoms.end();
}

// What each desktop of the suite has, written out here rather than asked of
// it, by the name xsession.py started it under (it hands that on in
// VP_TEST_DESKTOP): a check of something a desktop has fails where the
// window manager does not say it has it; only what it lacks is skipped.
struct Desktop {
    const char* wm;
    bool taskbar = true; // keeps a taskbar: knows _NET_WM_STATE_SKIP_TASKBAR
    bool panels = true;  // leaves room for panels: keeps _NET_WORKAREA
    bool frames = true;  // says what frame it drew (_NET_FRAME_EXTENTS)
    // The program's backdrop keeps below (_NET_WM_STATE_BELOW) and its
    // dialogs are modal ones (_NET_WM_STATE_MODAL): kwin puts a window that
    // keeps below under its panels, so there the backdrop does not and the
    // dialogs keep in front of it as modal ones; elsewhere the reverse. What
    // is read is the window manager's _NET_WM_STATE, which states only what
    // it does: xfwm4 gives a full-screen window a layer of its own and leaves
    // BELOW out of its state, and sway's Xwayland states none but the states
    // it handles (seen: FULLSCREEN and BELOW asked, FULLSCREEN stated).
    bool backdropBelow = true;
    bool dialogsModal = false;
};

constexpr Desktop desktops[] = {
    {.wm = "openbox"},
    {.wm = "metacity"},
    {.wm = "mutter"},
    {.wm = "mutter-wayland"},
    {.wm = "kwin", .backdropBelow = false, .dialogsModal = true},
    {.wm = "kwin-wayland", .backdropBelow = false, .dialogsModal = true},
    {.wm = "xfwm4", .backdropBelow = false},
    // sway: no taskbar, the room of panels its own business (swaybar), and
    // no word of the frames it draws.
    {.wm = "sway", .taskbar = false, .panels = false, .frames = false, .backdropBelow = false},
};

const Desktop* desktopOfTheRun()
{
    const QByteArray name = qgetenv("VP_TEST_DESKTOP");
    for (const Desktop& d : desktops)
        if (name == d.wm)
            return &d;
    return nullptr;
}

const Desktop& desktop() { return *desktopOfTheRun(); }

// A capability of the desktop: where the table promises it, the window
// manager must say it has it (a failure, not a skip, where it does not).
#define VP_NEEDS(what, atomName, lacking)                                                                              \
    do {                                                                                                               \
        if (!desktop().what) {                                                                                         \
            QVERIFY2(!supports(atomName), "the table says this desktop has none, and the window manager says it has"); \
            QSKIP(lacking);                                                                                            \
        }                                                                                                              \
        QVERIFY2(supports(atomName), qPrintable(QStringLiteral("%1 does not name %2 among what it supports")           \
                                                    .arg(QLatin1String(desktop().wm), QLatin1String(#atomName))));     \
    } while (false)

// The top-level window (a frame, where the window manager draws one) at a point of the screen.
xcb_window_t topLevelAt(QPoint p)
{
    const Reply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(
        server(),
        xcb_translate_coordinates(server(), root(), root(), static_cast<std::int16_t>(p.x()),
                                  static_cast<std::int16_t>(p.y())),
        nullptr));
    return t ? t->child : xcb_window_t(XCB_WINDOW_NONE);
}

// The top-level window that holds a screen's window: its frame, or itself.
xcb_window_t topLevelOf(Screen& s)
{
    xcb_window_t w = idOf(s);
    for (;;) {
        const Reply<xcb_query_tree_reply_t> q(xcb_query_tree_reply(server(), xcb_query_tree(server(), w), nullptr));
        if (!q || q->parent == q->root || q->parent == XCB_WINDOW_NONE)
            return w;
        w = q->parent;
    }
}

// Watches X events of one window, while the program goes on running, up to
// a deadline: the proof that something did not happen in that time is that
// no event that would show it came.
class Watching {
public:
    Watching(std::initializer_list<xcb_window_t> windows, std::uint32_t mask)
    {
        for (const xcb_window_t w : windows)
            if (std::none_of(m_selections.begin(), m_selections.end(), [&](const auto& s) { return s.first == w; }))
                m_selections.emplace_back(w, std::make_unique<x11::Watch::Selection>(
                                                 w, mask, [this](const xcb_generic_event_t&) { ++m_events; }));
    }
    // Whether `happened` came true after an event of the window within the
    // deadline (it is asked once at the start too).
    bool within(std::chrono::milliseconds deadline, const std::function<bool()>& happened)
    {
        int looked = -1;
        return QTest::qWaitFor(
            [&] {
                if (auto* watch = x11::Watch::instance())
                    watch->dispatch();
                if (looked == m_events)
                    return false;
                looked = m_events;
                return happened();
            },
            static_cast<int>(deadline.count()));
    }

private:
    int m_events = 0;
    std::vector<std::pair<xcb_window_t, std::unique_ptr<x11::Watch::Selection>>> m_selections;
};

// A taskbar's request to make a window active (source 2), on connection `c`,
// with the time of the click on it (0: none, as xdotool and wmctrl send it).
void askAsATaskbar(xcb_connection_t* c, xcb_window_t w, xcb_timestamp_t clicked = XCB_CURRENT_TIME)
{
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = atom(ActiveWindow);
    e.data.data32[0] = 2;
    e.data.data32[1] = clicked;
    xcb_send_event(c, 0, x11::rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
}

// What a taskbar or a click does: asks the window manager to activate a
// window (_NET_ACTIVE_WINDOW from a pager), which raises it too.
void activateAsTheUserDoes(Screen& s) { askAsATaskbar(server(), idOf(s)); }

// The X server's time now, on a connection whose events Qt never reads: a
// property of a window of its own appended with nothing (ICCCM 2.1).
std::optional<xcb_timestamp_t> timeOnTheServer(xcb_connection_t* c)
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, scr->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(c, XCB_PROP_MODE_APPEND, w, atom(WmName), atom(Utf8String), 8, 0, nullptr);
    xcb_flush(c);
    std::optional<xcb_timestamp_t> at;
    for (const auto end = std::chrono::steady_clock::now() + 5s; !at && std::chrono::steady_clock::now() < end;) {
        xcb_generic_event_t* e = xcb_poll_for_event(c);
        if (!e) {
            ::usleep(2000);
            continue;
        }
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            at = reinterpret_cast<xcb_property_notify_event_t*>(e)->time;
        std::free(e);
    }
    xcb_destroy_window(c, w);
    xcb_flush(c);
    return at;
}

QString rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// A panel along the bottom edge (KDE's) or the top (GNOME's top bar), as a
// desktop has one: the window manager takes its height off the work area.
class Panel {
public:
    explicit Panel(int height, bool atTop = false)
    {
        xcb_connection_t* c = server();
        const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        m_id = xcb_generate_id(c);
        const int top = atTop ? 0 : scr->height_in_pixels - height;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_id, scr->root, 0, static_cast<std::int16_t>(top),
                          scr->width_in_pixels, static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          scr->root_visual, 0, nullptr);
        x11::setAtoms(c, m_id, atom(WindowType), {atom(WindowTypeDock)});
        const auto h = static_cast<std::uint32_t>(height), right = scr->width_in_pixels - 1u;
        const std::vector<std::uint32_t> strut =
            atTop ? std::vector<std::uint32_t>{0, 0, h, 0, 0, 0, 0, 0, 0, right, 0, 0}
                  : std::vector<std::uint32_t>{0, 0, 0, h, 0, 0, 0, 0, 0, 0, 0, right};
        x11::setCardinals(c, m_id, atom(StrutPartial), XCB_ATOM_CARDINAL, strut);
        x11::setCardinals(c, m_id, atom(Strut), XCB_ATOM_CARDINAL, {strut.begin(), strut.begin() + 4});
        xcb_map_window(c, m_id);
        xcb_flush(c);
    }
    ~Panel()
    {
        xcb_destroy_window(server(), m_id);
        xcb_flush(server());
    }
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

private:
    xcb_window_t m_id = 0;
};

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !server())
            QSKIP("needs an X server with a window manager (run through tests/desktop/xsession.py)");
        QVERIFY2(desktopOfTheRun(), qPrintable(QStringLiteral("VP_TEST_DESKTOP names no desktop of the suite: \"%1\"")
                                                   .arg(QString::fromLocal8Bit(qgetenv("VP_TEST_DESKTOP")))));
    }
    void init() { h = std::make_unique<Harness>(); }
    void cleanup()
    {
        verifyBoxes(h->boxes);
        h.reset();
    }

    // The splash, the backdrop and the crash screen never get a taskbar
    // button, however often they come back.
    void noTaskbarButtonOnAnyShowing()
    {
        Setup& s = h->setup;
        const auto shownWithoutButton = [&](Screen& screen, const char* when) {
            QVERIFY2(QTest::qWaitFor([&] { return managed(screen); }, 5000), when);
            QVERIFY2(skipsTaskbar(screen), when);
        };
        const auto gone = [&](Screen& screen, const char* when) {
            QVERIFY2(QTest::qWaitFor([&] { return withdrawn(screen); }, 5000), when);
        };

        VP_NEEDS(taskbar, SkipTaskbar, "this window manager keeps no taskbar");
        s.launch();
        shownWithoutButton(s.PreStart(), "splash");
        h->advance(2000);
        gone(s.PreStart(), "splash handed over");
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()); }, 5000));
        s.Start().window()->close();
        shownWithoutButton(s.PreStart(), "splash re-armed");
        h->advance(2000);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()); }, 5000));
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        shownWithoutButton(s.Background(), "backdrop");

        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        h->boxes.expect(QStringLiteral("Upozornění"), mb::YesNo, mb::No);
        for (int i = 0; i < 260 && !s.Form2().isVisible(); ++i)
            h->advance(800);
        QTest::mouseClick(s.Form2().C("Command1").widget(), Qt::LeftButton);
        gone(s.Background(), "backdrop hidden");
        shownWithoutButton(s.Rst(), "crash screen");
        QTest::mouseClick(s.Rst().C("Label1").widget(), Qt::LeftButton);
        gone(s.Rst(), "crash screen hidden");
        QTest::mouseClick(s.Form3().C("Command1").widget(), Qt::LeftButton); // Znovu
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        shownWithoutButton(s.Background(), "backdrop, second pass");
        // The indicator names the hidden completion dialog now; the backdrop,
        // once activated, hands the focus to the wizard, the dialog on screen.
        QVERIFY2(QTest::qWaitFor([&] { return managed(s.Form1()) && isActive(s.Form1()); }, 5000),
                 qPrintable(QStringLiteral("the wizard is %1managed; active: the backdrop %2, the wizard %3")
                                .arg(managed(s.Form1()) ? "" : "not ")
                                .arg(isActive(s.Background()) ? "yes" : "no", isActive(s.Form1()) ? "yes" : "no")));
        // A click on the backdrop, as the user gives it (kwin hands the
        // activation on to the wizard at once): the wizard is active again and
        // in front of it. Under openbox too, which puts a full-screen window
        // over the others while it is focused itself (client.c, calc_layer:
        // "you are fullscreen while you or your children are focused").
        activateAsTheUserDoes(s.Background());
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return isActive(s.Form1()) && stackingIndex(s.Form1()) > stackingIndex(s.Background()); }, 5000),
            qPrintable(QStringLiteral("after a click on the backdrop: active the backdrop %1, the wizard %2; "
                                      "the wizard %3 the backdrop")
                           .arg(isActive(s.Background()) ? "yes" : "no", isActive(s.Form1()) ? "yes" : "no")
                           .arg(stackingIndex(s.Form1()) > stackingIndex(s.Background()) ? "in front of" : "behind")));

        h->act([&] { s.Form3().Show(); });
        s.Form3().window()->close(); // back to the completion dialog
        QTest::mouseClick(s.Form2().C("Command1").widget(), Qt::LeftButton);
        shownWithoutButton(s.Rst(), "crash screen, second showing");
    }

    // Centred means on the whole screen, even where a panel takes part of it,
    // frame included, from the first moment a window is on the screen: it never
    // jumps there afterwards (kwin tells the frame only once the window is
    // active, and a window re-centred then would be seen to jump).
    void centredOnTheWholeScreen()
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect whole = onTheServer(screen);
        VP_NEEDS(panels, WorkArea, "this window manager leaves no room for panels");
        Panel panel(40);
        QVERIFY2(QTest::qWaitFor([&] { return screen->availableGeometry() != screen->geometry(); }, 5000),
                 "the panel changes the work area");

        const auto offCentre = [&](const QRect& r) {
            const QPoint d = r.center() - whole.center();
            return std::max(std::abs(d.x()), std::abs(d.y()));
        };
        const auto landsCentred = [&](Screen& w, const char* name) {
            // Looked at once the window manager has taken it on, framed it and
            // made it active (kwin sets up its frame in that time, at 0,0).
            QVERIFY2(QTest::qWaitFor([&] { return managed(w) && framed(w) && isActive(w); }, 5000), name);
            const QRect first = clientOf(w);
            QVERIFY2(offCentre(frameOf(w)) <= 2,
                     qPrintable(QStringLiteral("%1 frame at %2").arg(QLatin1String(name), rectText(frameOf(w)))));
            // Neither the window nor its frame is moved in the next half second.
            Watching moves({idOf(w), topLevelOf(w)}, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
            QVERIFY2(!moves.within(500ms, [&] { return clientOf(w) != first; }),
                     qPrintable(QStringLiteral("%1 first at %2, then at %3")
                                    .arg(QLatin1String(name), rectText(first), rectText(clientOf(w)))));
        };

        Setup& s = h->setup;
        s.launch();
        QVERIFY(QTest::qWaitFor([&] { return managed(s.PreStart()) && isActive(s.PreStart()); }, 5000));
        QVERIFY2(offCentre(frameOf(s.PreStart())) <= 1,
                 qPrintable(QStringLiteral("splash at %1").arg(rectText(frameOf(s.PreStart())))));

        h->advance(2000);
        landsCentred(s.Start(), "prompt");
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        landsCentred(s.Form1(), "wizard");
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        landsCentred(s.Inst(), "installation");
    }

    // The backdrop and the crash screen cover the whole screen, over a panel
    // that takes the top of it (where some window managers would make a
    // screen-sized window a maximised one below it), and every dialog stays
    // in front of the backdrop and active, also a moment later.
    void fillsTheWholeScreenAboveThePanel()
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect whole = onTheServer(screen);
        VP_NEEDS(panels, WorkArea, "this window manager leaves no room for panels");
        Panel panel(32, true);
        QVERIFY2(QTest::qWaitFor([&] { return screen->availableGeometry() != screen->geometry(); }, 5000),
                 "the panel changes the work area");

        Setup& s = h->setup;
        const auto fills = [&](Screen& w, const char* name) {
            QVERIFY2(QTest::qWaitFor([&] { return managed(w) && clientOf(w) == whole && frameOf(w) == whole; }, 5000),
                     qPrintable(QStringLiteral("%1 at %2").arg(QLatin1String(name), rectText(frameOf(w)))));
        };
        const auto inFront = [&](Screen& dialog, const char* name) {
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             return managed(dialog) && isActive(dialog) &&
                                    stackingIndex(dialog) > stackingIndex(s.Background());
                         },
                         5000),
                     name);
            // No change of the active window or the stacking order in the next
            // moment takes it out of the front. A window manager updates the
            // active window and the stacking order one property at a time, so
            // only a state that lasts counts: out of the front and not back
            // within 150 ms.
            Watching desktop({root()}, XCB_EVENT_MASK_PROPERTY_CHANGE);
            const auto outOfFront = [&] {
                return !isActive(dialog) || stackingIndex(dialog) <= stackingIndex(s.Background());
            };
            QVERIFY2(!desktop.within(
                         400ms, [&] { return outOfFront() && !desktop.within(150ms, [&] { return !outOfFront(); }); }),
                     qPrintable(QStringLiteral("%1, a moment later").arg(QLatin1String(name))));
        };

        s.launch();
        h->advance(2000);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()); }, 5000));
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        fills(s.Background(), "backdrop");
        inFront(s.Form1(), "wizard");
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        inFront(s.Inst(), "installation");
        h->boxes.expect(QStringLiteral("Upozornění"), mb::YesNo, mb::No);
        for (int i = 0; i < 260 && !s.Form2().isVisible(); ++i)
            h->advance(800);
        inFront(s.Form2(), "completion dialog");
        QTest::mouseClick(s.Form2().C("Command1").widget(), Qt::LeftButton);
        fills(s.Rst(), "crash screen");
        // Nothing of the desktop lies over it, not even in a corner (kwin's
        // top-left hot corner took a click at 20,20), nor over the panel.
        for (const QPoint p : {QPoint(20, 20), QPoint(whole.width() / 2, 10), QPoint(whole.width() - 3, 3)})
            QVERIFY2(
                QTest::qWaitFor([&] { return topLevelAt(p) == topLevelOf(s.Rst()); }, 3000),
                qPrintable(QStringLiteral("at %1,%2: window 0x%3").arg(p.x()).arg(p.y()).arg(topLevelAt(p), 0, 16)));
    }

    // On any desktop, a tiling one too: the splash and the prompt float
    // centred, the backdrop covers the screen and the wizard floats centred in
    // front of it, active.
    void startUpToTheWizard()
    {
        const QRect whole = onTheServer(QGuiApplication::primaryScreen());
        const auto centred = [&](Screen& w, const char* name) {
            const auto offCentre = [&] {
                const QPoint d = frameOf(w).center() - whole.center();
                return std::max(std::abs(d.x()), std::abs(d.y()));
            };
            QVERIFY2(QTest::qWaitFor([&] { return managed(w) && offCentre() <= 2; }, 5000),
                     qPrintable(QStringLiteral("%1 at %2").arg(QLatin1String(name), rectText(frameOf(w)))));
        };
        Setup& s = h->setup;
        s.launch();
        centred(s.PreStart(), "splash");
        h->advance(2000);
        centred(s.Start(), "prompt");
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        QVERIFY2(QTest::qWaitFor([&] { return managed(s.Background()) && clientOf(s.Background()) == whole; }, 5000),
                 qPrintable(QStringLiteral("backdrop at %1").arg(rectText(clientOf(s.Background())))));
        centred(s.Form1(), "wizard");
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return isActive(s.Form1()) && stackingIndex(s.Form1()) > stackingIndex(s.Background()); }, 5000),
            "wizard in front");
    }

    // Two monitors (run with --monitors 1024x768+0+0,1280x1024+1024+0): the
    // program opens on the primary one, and once the user has moved it to the
    // other one, the screens it hands over to, the backdrop and the message
    // boxes open there, whatever monitor the mouse pointer is on.
    void followsTheProgramToAnotherMonitor()
    {
        // The monitors the session was started with (xsession.py --monitors,
        // which hands them on in VP_TEST_MONITORS); without them, another run has this case.
        const QByteArray promised = qgetenv("VP_TEST_MONITORS");
        if (promised.isEmpty())
            QSKIP("no monitors were asked for (xsession.py --monitors 1024x768+0+0,1280x1024+1024+0)");
        // Their sizes: where they lie is the desktop's to choose (GNOME's Wayland session lines them up itself).
        QList<QSize> asked;
        for (const QByteArray& m : promised.split(',')) {
            const auto size = m.split('+').value(0).split('x'); // WxH+X+Y
            QVERIFY2(size.size() == 2, promised.constData());
            asked << QSize(size[0].toInt(), size[1].toInt());
        }
        QCOMPARE(asked.size(), 2);
        const auto monitors = QGuiApplication::screens();
        QList<QSize> found;
        for (const QScreen* m : monitors)
            found << onTheServer(m).size();
        const auto byWidth = [](const QSize& a, const QSize& b) {
            return std::pair(a.width(), a.height()) < std::pair(b.width(), b.height());
        };
        std::sort(asked.begin(), asked.end(), byWidth);
        std::sort(found.begin(), found.end(), byWidth);
        QCOMPARE(found, asked);
        const QRect left = QGuiApplication::primaryScreen()->geometry();
        const QRect right = monitors[0]->geometry() == left ? monitors[1]->geometry() : monitors[0]->geometry();
        const auto offCentre = [](const QRect& r, const QRect& m) {
            const QPoint d = r.center() - m.center();
            return std::max(std::abs(d.x()), std::abs(d.y()));
        };
        Setup& s = h->setup;
        s.launch();
        QVERIFY(QTest::qWaitFor([&] { return managed(s.PreStart()); }, 5000));
        QVERIFY2(offCentre(frameOf(s.PreStart()), left) <= 2, qPrintable(rectText(frameOf(s.PreStart()))));
        h->advance(2000);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()) && framed(s.Start()); }, 5000));
        // The user takes the prompt to the right-hand monitor; the pointer stays on the left.
        QRect f = s.Start().window()->frameGeometry();
        f.moveCenter(right.center() + QPoint(40, -30));
        s.Start().window()->move(f.topLeft());
        QVERIFY2(QTest::qWaitFor([&] { return right.contains(frameOf(s.Start()).center()); }, 5000),
                 qPrintable(rectText(frameOf(s.Start()))));
        QCursor::setPos(left.center());
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        QVERIFY2(QTest::qWaitFor([&] { return managed(s.Background()) && clientOf(s.Background()) == right; }, 5000),
                 qPrintable(QStringLiteral("backdrop at %1").arg(rectText(clientOf(s.Background())))));
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Form1()) && framed(s.Form1()); }, 5000));
        QVERIFY2(offCentre(frameOf(s.Form1()), right) <= 2,
                 qPrintable(QStringLiteral("wizard at %1").arg(rectText(frameOf(s.Form1())))));

        // A real box, asked for by the wizard.
        QtMessageBoxes boxes;
        boxes.askingWindow = [&]() -> const QWidget* { return s.Form1().window(); };
        QRect seen;
        QTimer::singleShot(300, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->frameGeometry();
                box->buttons().front()->click();
            }
        });
        boxes.MsgBox(QStringLiteral("Nelze."), mb::OkOnly);
        QVERIFY2(right.contains(seen.center()), qPrintable(QStringLiteral("box at %1").arg(rectText(seen))));
    }

    // What the window manager is told of the backdrop and the dialogs, by
    // its rules: the backdrop keeps below and the dialogs are plain ones, or
    // (kwin) the backdrop does not keep below and the dialogs are modal; on
    // the first showing and on a later one alike.
    void backdropAndDialogsAsTheWindowManagerNeeds()
    {
        Setup& s = h->setup;
        const auto has = [&](Screen& w, A state) {
            const auto st = x11::atoms(server(), idOf(w), atom(NetWmState));
            return std::find(st.begin(), st.end(), atom(state)) != st.end();
        };
        const auto told = [&](const char* when) {
            QVERIFY2(QTest::qWaitFor([&] { return managed(s.Background()) && managed(s.Form1()); }, 5000), when);
            QVERIFY2(
                has(s.Background(), StateBelow) == desktop().backdropBelow,
                qPrintable(QStringLiteral("%1: the backdrop %2 below under %3")
                               .arg(QLatin1String(when), has(s.Background(), StateBelow) ? "keeps" : "does not keep",
                                    QLatin1String(desktop().wm))));
            QVERIFY2(has(s.Form1(), StateModal) == desktop().dialogsModal,
                     qPrintable(QStringLiteral("%1: the wizard is %2modal under %3")
                                    .arg(QLatin1String(when), has(s.Form1(), StateModal) ? "" : "not ",
                                         QLatin1String(desktop().wm))));
            QVERIFY2(!has(s.Background(), StateModal), when);
            QVERIFY2(!has(s.Form1(), StateBelow), when);
        };
        s.launch();
        h->advance(2000);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()); }, 5000));
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        told("first showing");
        h->act([&] {
            s.Form1().Hide();
            s.Background().Hide();
        });
        QVERIFY(QTest::qWaitFor([&] { return withdrawn(s.Background()) && withdrawn(s.Form1()); }, 5000));
        h->act([&] {
            s.Background().Show();
            s.Form1().Show();
        });
        told("shown again");
    }

    // A hand-over right after a taskbar made the backdrop active is taken:
    // the program asks with the server's time of the asking, not with that of
    // the last event it read, which is older than the taskbar's click
    // (mutter, metacity: "last_user_time is more recent; ignoring"). The
    // program reads nothing in between, as on a loaded machine, where it
    // reads its events late.
    void aHandOverAfterATaskbarsActivationIsTaken()
    {
        Setup& s = h->setup;
        VP_NEEDS(taskbar, SkipTaskbar, "this window manager keeps no taskbar, and takes no taskbar's requests");
        s.launch();
        h->advance(2000);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Start()); }, 5000));
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Form1()) && isActive(s.Form1()); }, 5000));

        // The taskbar: a connection of its own, whose events Qt never reads.
        xcb_connection_t* bar = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(bar));
        struct Gone {
            xcb_connection_t* c;
            ~Gone() { xcb_disconnect(c); }
        } gone{bar};
        const xcb_window_t top = xcb_setup_roots_iterator(xcb_get_setup(bar)).data->root;
        // A taskbar's request with the time of the user's click on it, later
        // than any event the program has read. (One without a time, as
        // xdotool and wmctrl send it, the window manager takes with its own
        // time of its reading, which comes after a hand-over asked before it
        // if the window manager reads late: it then refuses the hand-over, and
        // the program hears of the activation only by WM_TAKE_FOCUS.)
        const auto clicked = timeOnTheServer(bar);
        QVERIFY2(clicked, "the X server told the taskbar no time within 5 s");
        askAsATaskbar(bar, idOf(s.Background()), *clicked);
        const auto active = [&] {
            const auto list = x11::cardinals(bar, top, atom(ActiveWindow), XCB_ATOM_WINDOW, 1);
            return list.empty() ? xcb_window_t{XCB_WINDOW_NONE} : xcb_window_t{list.front()};
        };
        // Read on the taskbar's connection only, with a deadline: the program gets no turn.
        // Where the dialogs are modal (kwin), the window manager hands an
        // activation of the backdrop on to the dialog itself.
        const auto taken = [&] {
            const xcb_window_t a = active();
            return a == idOf(s.Background()) || (desktop().dialogsModal && a == idOf(s.Form1()));
        };
        bool backdropActive = false;
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             !(backdropActive = taken()) && std::chrono::steady_clock::now() < end;)
            ::usleep(10000);
        QVERIFY2(backdropActive, "the backdrop is not active within 5 s of the taskbar's request");

        // The hand-over, and still no turn for the program: its own later
        // reading of the backdrop's activation would hand over once more.
        h->act([&] { s.Form1().SetFocus(); });
        bool handed = false;
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             !(handed = active() == idOf(s.Form1())) && std::chrono::steady_clock::now() < end;)
            ::usleep(10000);
        QVERIFY2(handed, qPrintable(QStringLiteral("the wizard is not active within 5 s of its hand-over; active: "
                                                   "0x%1 (the backdrop 0x%2)")
                                        .arg(active(), 0, 16)
                                        .arg(idOf(s.Background()), 0, 16)));
    }

    // What the program knows of the window manager is asked again once
    // another one takes over and names its own check window on the root: one
    // of the other kind (tiling or not) is taken for what it is.
    void anotherWindowManagerIsNoticed()
    {
        xcb_connection_t* c = server();
        const bool before = ws::windowManagerRules().tiles;
        const xcb_window_t was = x11::window(c, root(), atom(SupportingWmCheck));
        const xcb_window_t check = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, check, root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        const QByteArray name = before ? "openbox" : "i3";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, check, atom(WmName), atom(Utf8String), 8,
                            static_cast<std::uint32_t>(name.size()), name.constData());
        x11::setCardinals(c, root(), atom(SupportingWmCheck), XCB_ATOM_WINDOW, {check});
        xcb_flush(c);
        const bool noticed = QTest::qWaitFor([&] { return ws::windowManagerRules().tiles != before; }, 5000);
        // The real one back.
        if (was == XCB_WINDOW_NONE)
            xcb_delete_property(c, root(), atom(SupportingWmCheck));
        else
            x11::setCardinals(c, root(), atom(SupportingWmCheck), XCB_ATOM_WINDOW, {was});
        xcb_destroy_window(c, check);
        xcb_flush(c);
        QVERIFY2(
            noticed,
            qPrintable(
                QStringLiteral("still %1 under \"%2\"").arg(before ? "tiling" : "not tiling", QLatin1String(name))));
        QVERIFY2(QTest::qWaitFor([&] { return ws::windowManagerRules().tiles == before; }, 5000),
                 "the window manager back");
    }

    // A dialog hidden and shown again comes back where it was, on every
    // showing (a window manager may otherwise take the old client position
    // for its frame and move it up by a title bar each time).
    void shownAgainWhereItWas()
    {
        Setup& s = h->setup;
        s.launch();
        h->advance(2000);
        Screen& prompt = s.Start();
        // Framed (where the desktop tells its frames) and centred on the screen.
        const QRect whole = onTheServer(QGuiApplication::primaryScreen());
        const bool told = desktop().frames;
        QCOMPARE(supports(FrameExtents), told);
        const auto framedIfTold = [&] { return managed(prompt) && framed(prompt) == told; };
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QPoint d = frameOf(prompt).center() - whole.center();
                         return framedIfTold() && std::max(std::abs(d.x()), std::abs(d.y())) <= 2;
                     },
                     5000),
                 qPrintable(QStringLiteral("first showing: frame at %1").arg(rectText(frameOf(prompt)))));
        const QRect first = frameOf(prompt);
        for (int i = 0; i < 3; ++i) {
            h->act([&] { prompt.Hide(); });
            QVERIFY(QTest::qWaitFor([&] { return withdrawn(prompt); }, 5000));
            h->act([&] { prompt.Show(); });
            const auto where = [&] {
                return QStringLiteral("showing %1: frame at %2, first at %3")
                    .arg(i + 2)
                    .arg(rectText(frameOf(prompt)), rectText(first));
            };
            QVERIFY2(QTest::qWaitFor([&] { return framedIfTold() && frameOf(prompt) == first; }, 5000),
                     qPrintable(where()));
            // And it stays there.
            Watching moves({idOf(prompt), topLevelOf(prompt)}, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
            QVERIFY2(!moves.within(300ms, [&] { return frameOf(prompt) != first; }), qPrintable(where()));
        }
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
