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
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

using namespace vp;
using namespace vp::test;

namespace {

xcb_connection_t* x11()
{
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return native ? native->connection() : nullptr;
}

xcb_atom_t atom(const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        x11(), xcb_intern_atom(x11(), 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::vector<xcb_atom_t> atomList(xcb_window_t w, const char* property)
{
    std::vector<xcb_atom_t> atoms;
    if (auto* r = xcb_get_property_reply(x11(), xcb_get_property(x11(), 0, w, atom(property), XCB_ATOM_ATOM, 0, 1024),
                                         nullptr)) {
        const auto* a = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
        atoms.assign(a, a + xcb_get_property_value_length(r) / 4);
        std::free(r);
    }
    return atoms;
}

// The ICCCM state the window manager gives a client: -1 none, 0 withdrawn,
// 1 normal, 3 iconic.
int wmState(xcb_window_t w)
{
    const xcb_atom_t wmStateAtom = atom("WM_STATE");
    auto* r = xcb_get_property_reply(x11(), xcb_get_property(x11(), 0, w, wmStateAtom, wmStateAtom, 0, 2), nullptr);
    int state = -1;
    if (r && r->format == 32 && xcb_get_property_value_length(r) >= 4)
        state = static_cast<int>(*static_cast<const std::uint32_t*>(xcb_get_property_value(r)));
    std::free(r);
    return state;
}

bool viewable(xcb_window_t w)
{
    auto* r = xcb_get_window_attributes_reply(x11(), xcb_get_window_attributes(x11(), w), nullptr);
    const bool v = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return v;
}

xcb_window_t idOf(Screen& s) { return static_cast<xcb_window_t>(s.window()->winId()); }

// Mapped and taken on by the window manager.
bool managed(Screen& s) { return s.window() && viewable(idOf(s)) && wmState(idOf(s)) == 1; }

// Withdrawn, and the window manager has let go of it.
bool withdrawn(Screen& s) { return !s.window() || (!viewable(idOf(s)) && wmState(idOf(s)) <= 0); }

bool skipsTaskbar(Screen& s)
{
    const auto state = atomList(idOf(s), "_NET_WM_STATE");
    return std::find(state.begin(), state.end(), atom("_NET_WM_STATE_SKIP_TASKBAR")) != state.end();
}

// A monitor as the X server counts it: on a scaled desktop (Xft.dpi 192)
// Qt's screen is half the size in its own pixels.
QRect onTheServer(const QScreen* monitor) { return monitor->handle()->geometry(); }

// The client area on the screen with the frame the window manager says it
// drew around it (_NET_FRAME_EXTENTS: its decoration, not invisible borders).
QRect frameOf(Screen& s)
{
    const xcb_window_t w = idOf(s);
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    auto* g = xcb_get_geometry_reply(x11(), xcb_get_geometry(x11(), w), nullptr);
    auto* t = xcb_translate_coordinates_reply(x11(), xcb_translate_coordinates(x11(), w, scr->root, 0, 0), nullptr);
    QRect r;
    if (g && t)
        r = QRect(t->dst_x, t->dst_y, g->width, g->height);
    std::free(g);
    std::free(t);
    if (auto* e = xcb_get_property_reply(
            x11(), xcb_get_property(x11(), 0, w, atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4), nullptr)) {
        if (e->format == 32 && xcb_get_property_value_length(e) == 16) {
            const auto* m = static_cast<const std::uint32_t*>(xcb_get_property_value(e));
            r.adjust(-static_cast<int>(m[0]), -static_cast<int>(m[2]), static_cast<int>(m[1]), static_cast<int>(m[3]));
        }
        std::free(e);
    }
    return r;
}

// The client area on the screen, without any frame.
QRect clientOf(Screen& s)
{
    const xcb_window_t w = idOf(s);
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    auto* g = xcb_get_geometry_reply(x11(), xcb_get_geometry(x11(), w), nullptr);
    auto* t = xcb_translate_coordinates_reply(x11(), xcb_translate_coordinates(x11(), w, scr->root, 0, 0), nullptr);
    QRect r;
    if (g && t)
        r = QRect(t->dst_x, t->dst_y, g->width, g->height);
    std::free(g);
    std::free(t);
    return r;
}

bool framed(Screen& s)
{
    auto* e = xcb_get_property_reply(
        x11(), xcb_get_property(x11(), 0, idOf(s), atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4), nullptr);
    const bool known = e && e->format == 32 && xcb_get_property_value_length(e) == 16;
    std::free(e);
    return known;
}

std::vector<xcb_window_t> windowList(const char* property)
{
    std::vector<xcb_window_t> list;
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    if (auto* r = xcb_get_property_reply(
            x11(), xcb_get_property(x11(), 0, scr->root, atom(property), XCB_ATOM_WINDOW, 0, 256), nullptr)) {
        const auto* a = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
        list.assign(a, a + xcb_get_property_value_length(r) / 4);
        std::free(r);
    }
    return list;
}

// Bottom to top as the window manager stacks its clients; -1 for a window it does not list.
int stackingIndex(Screen& s)
{
    const auto list = windowList("_NET_CLIENT_LIST_STACKING");
    const auto it = std::find(list.begin(), list.end(), idOf(s));
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

bool isActive(Screen& s)
{
    const auto list = windowList("_NET_ACTIVE_WINDOW");
    return !list.empty() && list.front() == idOf(s);
}

// What the window manager says it supports (_NET_SUPPORTED).
bool supports(const char* name)
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    const auto atoms = atomList(scr->root, "_NET_SUPPORTED");
    return std::find(atoms.begin(), atoms.end(), atom(name)) != atoms.end();
}

// The top-level window (a frame, where the window manager draws one) at a point of the screen.
xcb_window_t topLevelAt(QPoint p)
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    auto* t = xcb_translate_coordinates_reply(x11(),
                                              xcb_translate_coordinates(x11(), scr->root, scr->root,
                                                                        static_cast<std::int16_t>(p.x()),
                                                                        static_cast<std::int16_t>(p.y())),
                                              nullptr);
    const xcb_window_t w = t ? t->child : xcb_window_t(XCB_WINDOW_NONE);
    std::free(t);
    return w;
}

// The top-level window that holds a screen's window: its frame, or itself.
xcb_window_t topLevelOf(Screen& s)
{
    xcb_window_t w = idOf(s);
    for (;;) {
        auto* q = xcb_query_tree_reply(x11(), xcb_query_tree(x11(), w), nullptr);
        if (!q)
            return w;
        const xcb_window_t parent = q->parent, root = q->root;
        std::free(q);
        if (parent == root || parent == XCB_WINDOW_NONE)
            return w;
        w = parent;
    }
}

// The window manager's name, as its check window gives it (_NET_SUPPORTING_WM_CHECK).
QByteArray windowManagerName()
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    QByteArray name;
    auto* r = xcb_get_property_reply(
        x11(), xcb_get_property(x11(), 0, scr->root, atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (r && r->format == 32 && xcb_get_property_value_length(r) == 4) {
        const xcb_window_t wm = *static_cast<const xcb_window_t*>(xcb_get_property_value(r));
        if (auto* n = xcb_get_property_reply(
                x11(), xcb_get_property(x11(), 0, wm, atom("_NET_WM_NAME"), XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                nullptr)) {
            name = QByteArray(static_cast<const char*>(xcb_get_property_value(n)), xcb_get_property_value_length(n));
            std::free(n);
        }
    }
    std::free(r);
    return name;
}

// What a taskbar or a click does: asks the window manager to activate a
// window (_NET_ACTIVE_WINDOW from a pager), which raises it too.
void activateAsTheUserDoes(Screen& s)
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(x11())).data;
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = idOf(s);
    e.type = atom("_NET_ACTIVE_WINDOW");
    e.data.data32[0] = 2;
    xcb_send_event(x11(), 0, scr->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(x11());
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
        xcb_connection_t* c = x11();
        const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        m_id = xcb_generate_id(c);
        const int top = atTop ? 0 : scr->height_in_pixels - height;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_id, scr->root, 0, static_cast<std::int16_t>(top),
                          scr->width_in_pixels, static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          scr->root_visual, 0, nullptr);
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_id, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
        const auto h = static_cast<std::uint32_t>(height), right = scr->width_in_pixels - 1u;
        const std::uint32_t bottomStrut[12] = {0, 0, 0, h, 0, 0, 0, 0, 0, 0, 0, right};
        const std::uint32_t topStrut[12] = {0, 0, h, 0, 0, 0, 0, 0, 0, right, 0, 0};
        const std::uint32_t* strut = atTop ? topStrut : bottomStrut;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_id, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12,
                            strut);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_id, atom("_NET_WM_STRUT"), XCB_ATOM_CARDINAL, 32, 4, strut);
        xcb_map_window(c, m_id);
        xcb_flush(c);
    }
    ~Panel()
    {
        xcb_destroy_window(x11(), m_id);
        xcb_flush(x11());
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
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11())
            QSKIP("needs an X server with a window manager (run through tests/desktop.sh)");
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

        if (!supports("_NET_WM_STATE_SKIP_TASKBAR"))
            QSKIP("this window manager keeps no taskbar (sway)");
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
        // The indicator names the hidden completion dialog now, so the
        // backdrop, once activated, hands the focus on to no dialog: the
        // wizard stays in front of it all the same. Not under openbox, which
        // puts a full-screen window over the others while it is focused
        // itself, whether it keeps below or not (client.c, calc_layer: "you
        // are fullscreen while you or your children are focused"), and takes
        // a dialog that Qt makes transient for the program's group for no
        // transient at all.
        QVERIFY(QTest::qWaitFor([&] { return managed(s.Form1()) && isActive(s.Form1()); }, 5000));
        if (windowManagerName() != "Openbox") {
            // (kwin hands the activation on to the wizard, which is then already active.)
            activateAsTheUserDoes(s.Background());
            (void)QTest::qWaitFor([&] { return isActive(s.Background()); }, 1000);
            QVERIFY2(isActive(s.Background()) || isActive(s.Form1()), "neither the backdrop nor the wizard is active");
            QVERIFY2(stackingIndex(s.Form1()) > stackingIndex(s.Background()), "the backdrop in front of the wizard");
            activateAsTheUserDoes(s.Form1());
            QVERIFY(QTest::qWaitFor([&] { return isActive(s.Form1()); }, 5000));
        }

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
        if (!supports("_NET_WORKAREA"))
            QSKIP("this window manager leaves no room for panels (sway)");
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
            for (int i = 0; i < 20; ++i) {
                QTest::qWait(25);
                QVERIFY2(clientOf(w) == first,
                         qPrintable(QStringLiteral("%1 first at %2, then at %3")
                                        .arg(QLatin1String(name), rectText(first), rectText(clientOf(w)))));
            }
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
        if (!supports("_NET_WORKAREA"))
            QSKIP("this window manager leaves no room for panels (sway)");
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
            QTest::qWait(400);
            QVERIFY2(isActive(dialog) && stackingIndex(dialog) > stackingIndex(s.Background()),
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
            QVERIFY2(QTest::qWaitFor([&] { return managed(w); }, 5000), name);
            QTest::qWait(200);
            const QPoint d = frameOf(w).center() - whole.center();
            QVERIFY2(std::max(std::abs(d.x()), std::abs(d.y())) <= 2,
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
        const auto monitors = QGuiApplication::screens();
        if (monitors.size() != 2)
            QSKIP("needs two monitors");
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

    // A dialog hidden and shown again comes back where it was, on every
    // showing (a window manager may otherwise take the old client position
    // for its frame and move it up by a title bar each time).
    void shownAgainWhereItWas()
    {
        Setup& s = h->setup;
        s.launch();
        h->advance(2000);
        Screen& prompt = s.Start();
        QVERIFY(QTest::qWaitFor([&] { return managed(prompt); }, 5000));
        QTest::qWait(300); // the frame is centred once the window manager has drawn it
        const QRect first = frameOf(prompt);
        for (int i = 0; i < 3; ++i) {
            h->act([&] { prompt.Hide(); });
            QVERIFY(QTest::qWaitFor([&] { return withdrawn(prompt); }, 5000));
            h->act([&] { prompt.Show(); });
            QVERIFY(QTest::qWaitFor([&] { return managed(prompt); }, 5000));
            QTest::qWait(300);
            QVERIFY2(frameOf(prompt) == first, qPrintable(QStringLiteral("showing %1: frame at %2,%3, first at %4,%5")
                                                              .arg(i + 2)
                                                              .arg(frameOf(prompt).x())
                                                              .arg(frameOf(prompt).y())
                                                              .arg(first.x())
                                                              .arg(first.y())));
        }
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
