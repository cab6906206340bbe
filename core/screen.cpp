#include "screen.h"

#include "accessible.h"
#include "clock.h"
#include "msgbox.h"
#include "pictures.h"
#include "platform.h"
#include "theme.h"
#include "trace.h"
#include "values.h"
#include "widgets.h"
#include "window.h"
#include "x11/windowsystem.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vp {

// ---------------------------------------------------------------- runtime

Runtime::Runtime(Clock& clock, MessageBoxes& boxes, Random& random, const ProgramData& data)
    : m_clock(clock),
      m_boxes(boxes),
      m_random(random),
      m_pictures(data.pictures),
      m_name(data.name)
{
    const auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
    m_boxes.defaultTitle = text(data.boxTitle);
    const BoxButtons& b = data.boxButtons;
    m_boxes.captions = {text(b.ok), text(b.yes), text(b.no), text(b.retry), text(b.cancel)};
    for (const FontSubstitute& f : data.fonts) {
        QStringList faces;
        for (std::string_view face : f.substitutes)
            faces << QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size()));
        QFont::insertSubstitutions(QString::fromUtf8(f.face.data(), static_cast<qsizetype>(f.face.size())), faces);
    }
    installAccessibility();
    m_boxes.askingWindow = [this]() -> const QWidget* { return m_caller ? m_caller->window() : nullptr; };
}

bool Runtime::run(const std::function<void()>& handler, Screen* from)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_caller = from;
    struct Release {
        bool& busy;
        Screen*& caller;
        ~Release()
        {
            busy = false;
            caller = nullptr;
        }
    } release{m_busy, m_caller};
    if (!guarded(handler, from))
        return true;
    m_busy = false;
    settleActivation();
    m_caller = nullptr;
    return true;
}

bool Runtime::guarded(const std::function<void()>& handler, const Screen* from) const
{
    try {
        handler();
        return true;
    } catch (const RuntimeError& e) {
        // Nothing thrown in a handler may cross the event loop.
        // Said with the screen whose handler it was, unless the fault names it already.
        const std::string where = from ? std::string(from->m_def.name) + ": " : std::string("start-up: ");
        const std::string what = e.what();
        fault(what.starts_with(where) ? what : where + what);
        return false;
    }
}

void Runtime::fault(const std::string& what) const
{
    if (onFault) {
        onFault(what);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", m_name.c_str(), what.c_str());
    std::fflush(stderr);
    std::_Exit(70);
}

void Runtime::settleActivation()
{
    // Activation is settled once a handler is over, so a hide followed by a
    // show in one handler activates only the screen shown last. A Form_Activate
    // that hands the focus on is followed in turn (a few hops at most).
    for (int hops = 0; hops < 8 && m_pending && m_pending != m_active; ++hops) {
        Screen* next = m_pending;
        m_pending = nullptr;
        if (!next->isVisible())
            continue;
        m_active = next;
        qCDebug(lcTrace) << "runtime: Form_Activate" << next->name();
        m_busy = true;
        m_caller = next;
        // A Form_Activate is a handler like any other: its fault stops here too.
        const bool done = guarded([next] { next->fire("Form", -1, Event::Activate); }, next);
        m_busy = false;
        if (!done)
            break;
    }
    m_pending = nullptr;
}

void Runtime::requestActive(Screen* s, std::optional<std::uint32_t> handedOverAt)
{
    qCDebug(lcTrace) << "runtime: activate request" << s->name();
    m_pending = s;
    m_handedOverAt = handedOverAt;
}

void Runtime::screenHidden(Screen* s)
{
    if (m_pending == s)
        m_pending = nullptr;
    if (m_active == s)
        m_active = nullptr;
}

void Runtime::windowActivatedByUser(Screen* s)
{
    // The window system reports activations late and sometimes for a window
    // the program has already moved past; only a visible screen other than the
    // current one counts.
    qCDebug(lcTrace) << "runtime: window system activated" << s->name() << (s->isVisible() ? "visible" : "hidden")
                     << (s == m_active ? "already active" : "");
    if (!s->isVisible() || s == m_active)
        return;
    if (m_busy) {
        if (!m_pending)
            m_pending = s;
        return;
    }
    m_pending = s;
    settleActivation();
}

void Runtime::focusGivenByWindowManager(Screen* s, std::uint32_t at)
{
    // A window manager that activates the window holding the focus already
    // sends no focus change, only WM_TAKE_FOCUS. Come after the program's last
    // hand-over, that activation is one the user made after it: a taskbar's
    // request without a time, taken with the window manager's time of its
    // reading, which can be later than a hand-over asked before it and which
    // then makes the window manager refuse the hand-over ("last_user_time is
    // more recent"). The backdrop keeps the focus, and its Form_Activate,
    // told of it now, hands it on again. Sooner, the activation is the one
    // the program has seen already, or will see as a focus change.
    const QWindow* focus = QGuiApplication::focusWindow();
    if (!m_handedOverAt || !ws::later(at, *m_handedOverAt) || !s->window() || !focus ||
        focus != s->window()->windowHandle())
        return;
    qCDebug(lcTrace) << "runtime: the window manager activated" << s->name() << "again, after the hand-over";
    windowActivatedByUser(s);
}

void Runtime::screenClosed(Screen* s)
{
    screenHidden(s);
    const auto visibleCount =
        std::count_if(screens.begin(), screens.end(), [](const Screen* x) { return x->isVisible(); });
    if (visibleCount == 0 && onNothingVisible)
        onNothingVisible();
    // The one window left takes the focus, even one that never takes it by
    // itself (the backdrop): a keyboard user can then close it too.
    if (visibleCount == 1) {
        Screen* last = *std::find_if(screens.begin(), screens.end(), [](const Screen* x) { return x->isVisible(); });
        if (last != m_active)
            last->SetFocus();
    }
}

// ---------------------------------------------------------------- screen

Screen::Screen(Runtime& r, const ScreenDef& def) : runtime(r), m_def(def) { runtime.screens.push_back(this); }

Screen::~Screen()
{
    std::erase(runtime.screens, this);
    m_controls.clear();
    delete m_window.data();
}

QString Screen::name() const { return QString::fromUtf8(m_def.name.data(), static_cast<qsizetype>(m_def.name.size())); }

bool Screen::isVisible() const { return m_window && m_window->isVisible(); }

QWidget* Screen::window() const { return m_window.data(); }

void Screen::ensureLoaded()
{
    if (m_lifecycle == Lifecycle::Loaded)
        return;
    build();
    m_lifecycle = Lifecycle::Loaded;
    fire("Form", -1, Event::Load);
}

void Screen::checkBindings() const
{
    const std::string where = m_def.name.empty() ? std::string("screen") : std::string(m_def.name);
    for (const auto& b : m_bindings) {
        if (b.control == "Form") {
            if (b.event == Event::MouseMove || b.event == Event::Timer)
                throw RuntimeError(where + ": the window raises no such event");
            continue;
        }
        const auto it = std::find_if(m_def.controls.begin(), m_def.controls.end(),
                                     [&](const ControlDef& d) { return d.name == b.control && d.index == b.index; });
        if (it == m_def.controls.end())
            throw RuntimeError(where + ": handler bound to a missing control '" + std::string(b.control) + "'");
        if (!kindRaises(it->kind, b.event))
            throw RuntimeError(where + ": control '" + std::string(b.control) + "' does not raise the bound event");
    }
    for (const ControlRefBase* r : m_refs) {
        const auto it = std::find_if(m_def.controls.begin(), m_def.controls.end(),
                                     [&](const ControlDef& d) { return d.name == r->m_name && d.index == r->m_index; });
        if (it == m_def.controls.end())
            throw RuntimeError(where + ": the behaviour uses a missing control '" + std::string(r->m_name) + "'");
        if (r->m_kind && *r->m_kind != it->kind)
            throw RuntimeError(where + ": the behaviour takes control '" + std::string(r->m_name) +
                               "' for another kind of control than it is");
    }
}

void Screen::build()
{
    checkBindings();
    const PictureCatalogue& pictures = runtime.pictures();
    auto* w = new ScreenWindow(*this, m_def, pictures.pixmap(m_def.picture));
    adoptAccessible(*w);
    m_window = w;
    w->setWindowTitle(QString::fromUtf8(m_def.title.data(), static_cast<qsizetype>(m_def.title.size())));
    if (!m_def.icon.none())
        w->setWindowIcon(pictures.icon(m_def.icon));

    // Placed on its monitor when it is shown (Placement).
    w->resize(toPixels(m_def.clientWidth), toPixels(m_def.clientHeight));

    // Controls are created in table order and then stacked: the first listed
    // ends up in front. A frame's children are created inside it.
    m_controls.clear();
    for (const ControlDef& d : m_def.controls) {
        QWidget* parent = w;
        if (!d.container.empty()) {
            Control* frame = findControl(d.container);
            if (!frame || !frame->widget())
                throw RuntimeError(std::string(m_def.name) + ": container '" + std::string(d.container) +
                                   "' must be listed before " + std::string(d.name));
            parent = frame->widget();
        }
        const std::string_view controlName = d.name;
        const int index = d.index;
        m_controls.push_back(Control::make(
            d, d.kind == Kind::Timer ? nullptr : parent,
            {runtime.clock(), pictures, [this, controlName, index](Event e) { fireFromUser(controlName, index, e); }}));
    }
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it)
        if ((*it)->widget())
            (*it)->widget()->raise();

    settleTabOrder();
    for (ControlRefBase* r : m_refs)
        r->m_control = findControl(r->m_name, r->m_index);
    describeScreen(m_controls);
    m_placed = false;
    m_placement.forget();
}

void Screen::settleTabOrder()
{
    // Ascending tab index over the controls that can take the focus.
    m_tabOrder.clear();
    for (auto& c : m_controls)
        if (c->widget() && c->widget()->focusPolicy() != Qt::NoFocus)
            m_tabOrder.push_back(c.get());
    std::stable_sort(m_tabOrder.begin(), m_tabOrder.end(),
                     [](const Control* a, const Control* b) { return a->def().tabIndex < b->def().tabIndex; });
    for (std::size_t i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(m_tabOrder[i - 1]->widget(), m_tabOrder[i]->widget());
}

void Screen::applyInitialFocus()
{
    for (Control* c : m_tabOrder) {
        QWidget* w = c->widget();
        if (w->isVisibleTo(m_window) && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

Control* Screen::findControl(std::string_view controlName, int index) const
{
    for (const auto& c : m_controls)
        if (c->def().name == controlName && c->def().index == index)
            return c.get();
    return nullptr;
}

Control& Screen::controlOfKind(std::string_view controlName, int index, std::optional<Kind> kind)
{
    ensureLoaded();
    Control* c = findControl(controlName, index);
    if (!c)
        throw RuntimeError(std::string(m_def.name) + ": no control '" + std::string(controlName) + "'");
    if (kind && c->kind() != *kind)
        throw RuntimeError(std::string(m_def.name) + ": control '" + std::string(controlName) +
                           "' is another kind of control");
    return *c;
}

void Screen::Show()
{
    ensureLoaded();
    trace::show(name());
    if (!m_placed) {
        applyInitialFocus();
        m_placed = true;
    }
    // On the monitor of the screen whose handler shows it (the primary one at start-up).
    const Screen* from = runtime.caller();
    m_placement.show(*m_window, monitorOf(from ? from->window() : nullptr));
    m_window->raise();
    m_window->activateWindow();
    runtime.requestActive(this);
}

void Screen::Hide()
{
    ensureLoaded();
    qCDebug(lcTrace) << "runtime: hide" << name();
    m_placement.hide(*m_window);
    runtime.screenHidden(this);
}

void Screen::SetFocus()
{
    ensureLoaded();
    if (!isVisible())
        throw RuntimeError(std::string(m_def.name) + ": the focus can only go to a visible screen");
    qCDebug(lcTrace) << "runtime: set focus" << name();
    m_window->raise();
    // A hand-over, often from a Form_Activate while the window manager has just
    // made another window active: asked with the server's time of now.
    runtime.requestActive(this, ws::activate(*m_window));
}

float Screen::Width()
{
    ensureLoaded();
    return static_cast<float>(toTwips(m_window->frameGeometry().width()));
}

float Screen::Height()
{
    ensureLoaded();
    return static_cast<float>(toTwips(m_window->frameGeometry().height()));
}

void Screen::closeByUser()
{
    if (!isLoaded())
        return;
    qCDebug(lcTrace) << "runtime: closed by the user" << name();
    fire("Form", -1, Event::Unload);
    // The close goes ahead: window and controls go, the screen's variables stay.
    m_tabOrder.clear();
    for (ControlRefBase* r : m_refs)
        r->m_control = nullptr;
    m_controls.clear();
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
    }
    m_window = nullptr;
    m_lifecycle = Lifecycle::Closed;
    runtime.screenClosed(this);
}

void Screen::fire(std::string_view control, int index, Event event)
{
    for (const auto& b : m_bindings)
        if (b.event == event && b.control == control && b.index == index) {
            b.handler();
            return;
        }
}

void Screen::fireFromUser(std::string_view control, int index, Event event)
{
    runtime.run([&] { fire(control, index, event); }, this);
}

// ---------------------------------------------------------------- control references

ControlRefBase::ControlRefBase(Screen& screen, std::string_view controlName, int index, std::optional<Kind> kind)
    : m_screen(screen),
      m_name(controlName),
      m_index(index),
      m_kind(kind)
{
    screen.m_refs.push_back(this);
}

ControlRefBase::~ControlRefBase() { std::erase(m_screen.m_refs, this); }

Control& ControlRefBase::get() const
{
    m_screen.ensureLoaded();
    return *m_control;
}

} // namespace vp
