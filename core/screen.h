// Screens and the runtime that joins definitions and behaviour: lifecycle,
// binding of handlers by name, the gate that runs one handler at a time, and
// the bookkeeping of which screen is active.
#pragma once

#include "control.h"
#include "definition.h"
#include "platform.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace vp {

class Clock;
class MessageBoxes;
class Random;
class Screen;
class ScreenWindow;
class ControlRefBase;

// A face the program draws with that desktops rarely have, and the faces
// to draw it with instead.
struct FontSubstitute {
    std::string_view face;
    std::span<const std::string_view> substitutes;
};

// The captions of a message box's buttons (UTF-8).
struct BoxButtons {
    std::string_view ok, yes, no, retry, cancel;
};

// What the program hands the runtime when it starts: its pictures, the title
// of its message boxes where a handler gives none and their buttons'
// captions, and its fonts' substitutes.
struct ProgramData {
    std::string_view name; // what the program's own lines on stderr begin with
    const PictureCatalogue& pictures;
    std::string_view boxTitle;
    BoxButtons boxButtons;
    std::span<const FontSubstitute> fonts = {};
};

class Runtime {
public:
    Runtime(Clock& clock, MessageBoxes& boxes, Random& random, const ProgramData& data);

    Clock& clock() { return m_clock; }
    const PictureCatalogue& pictures() const { return m_pictures; }
    MessageBoxes& boxes() { return m_boxes; }
    Random& random() { return m_random; }

    // The gate. Runs `handler` unless another handler is still running (for
    // example one waiting in a modal box); then it is dropped and false is
    // returned. After the outermost handler, Form_Activate runs for the screen
    // that ended up active. `from` is the screen whose handler it is.
    bool run(const std::function<void()>& handler, Screen* from = nullptr);
    bool busy() const { return m_busy; }

    // The screen whose handler runs (nullptr: none, as at start-up). The
    // monitor it is on is the program's: a screen shown in a passage and a
    // message box open there.
    Screen* caller() const { return m_caller; }

    // The screen the program made or saw active last (nullptr: none).
    Screen* activeScreen() const { return m_active; }

    // Bookkeeping called by screens.
    // `handedOverAt`: the window-system time with which a hand-over asked for
    // it; none where Qt asked (a screen shown), with a time of its own.
    void requestActive(Screen* s, std::optional<std::uint32_t> handedOverAt = std::nullopt);
    void screenHidden(Screen* s);
    void windowActivatedByUser(Screen* s);
    // The window manager gave a window the focus at window-system time `at`.
    void focusGivenByWindowManager(Screen* s, std::uint32_t at);
    void screenClosed(Screen* s);

    // Called when the user closed a window and no screen is visible any more.
    std::function<void()> onNothingVisible;
    // Called with what went wrong, and in whose handler, when a handler fails
    // (a RuntimeError: a picture that cannot be read, a number that does not
    // fit); the handler is abandoned there and the gate opens again. Without
    // it the program says so in one line on stderr and ends with status 70.
    std::function<void(const std::string& what)> onFault;
    std::vector<Screen*> screens;

private:
    void settleActivation();

    void fault(const std::string& what) const;
    // Runs one handler; a RuntimeError it throws is reported as a fault of
    // `from` and false returned.
    bool guarded(const std::function<void()>& handler, const Screen* from) const;

    Clock& m_clock;
    MessageBoxes& m_boxes;
    Random& m_random;
    const PictureCatalogue& m_pictures;
    std::string m_name;
    bool m_busy = false;
    Screen* m_active = nullptr;
    Screen* m_pending = nullptr;
    Screen* m_caller = nullptr;
    // The window-system time of the program's last request for an active
    // window, where it was a hand-over (SetFocus) and the time is known.
    std::optional<std::uint32_t> m_handedOverAt;
};

// The kind a control class stands for; none for `Control`, which is any kind.
template <class T>
constexpr std::optional<Kind> controlKindOf()
{
    if constexpr (requires { T::kindOf; })
        return T::kindOf;
    else
        return std::nullopt;
}

enum class Lifecycle : std::uint8_t { NotCreated, Loaded, Closed };

class Screen {
public:
    Screen(Runtime& runtime, const ScreenDef& def);
    virtual ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // Runtime operations. Each of them loads the screen first if it is not loaded.
    void Show();
    void Hide();
    void SetFocus();
    float Width();
    float Height();
    template <class T = Control>
    T& C(std::string_view name, int index = -1)
    {
        return static_cast<T&>(controlOfKind(name, index, controlKindOf<T>()));
    }

    // Looks without loading.
    Lifecycle lifecycle() const { return m_lifecycle; }
    bool isLoaded() const { return m_lifecycle == Lifecycle::Loaded; }
    bool isVisible() const;
    QWidget* window() const;
    QString name() const;
    const ScreenDef& def() const { return m_def; }
    Control* findControl(std::string_view name, int index = -1) const;
    const std::vector<std::unique_ptr<Control>>& controls() const { return m_controls; }

    // The user's close box: Form_Unload, then the window and controls go.
    void closeByUser();

protected:
    template <class T>
    struct On {
        std::string_view control;
        Event event;
        void (T::*handler)();
        int index = -1;
    };

    // Declares the handlers, once, in the behaviour's constructor.
    template <class T>
    void bind(std::initializer_list<On<T>> table)
    {
        auto* self = static_cast<T*>(this);
        for (const auto& on : table)
            m_bindings.push_back({on.control, on.index, on.event, [self, h = on.handler] { (self->*h)(); }});
    }

    Runtime& runtime;

private:
    friend class ScreenWindow;
    struct Binding {
        std::string_view control;
        int index;
        Event event;
        std::function<void()> handler;
    };

    void ensureLoaded();
    void build();
    void checkBindings() const;
    void fire(std::string_view control, int index, Event event);
    void fireFromUser(std::string_view control, int index, Event event);
    void settleTabOrder();
    void applyInitialFocus();
    Control& controlOfKind(std::string_view name, int index, std::optional<Kind> kind);

    const ScreenDef& m_def;
    Lifecycle m_lifecycle = Lifecycle::NotCreated;
    QPointer<ScreenWindow> m_window;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<Binding> m_bindings;
    std::vector<ControlRefBase*> m_refs; // what the behaviour holds, resolved at every build
    std::vector<Control*> m_tabOrder;    // gathered once per build
    bool m_placed = false;
    Placement m_placement{
        {m_def.maximised, m_def.centred, m_def.border == Border::Sizable, m_def.taskbar, m_def.behind}};

    friend class Runtime;
    friend class ControlRefBase;
};

// A control that a behaviour uses, named where the behaviour declares it and
// looked up once per build of its screen's window; a name the definition
// lacks, or a control of another kind than the reference's, fails that build,
// naming the screen and the control. Using it loads the screen if it is not
// loaded, as any reference does.
class ControlRefBase {
public:
    ControlRefBase(const ControlRefBase&) = delete;
    ControlRefBase& operator=(const ControlRefBase&) = delete;

protected:
    ControlRefBase(Screen& screen, std::string_view name, int index, std::optional<Kind> kind);
    ~ControlRefBase();
    Control& get() const;

private:
    friend class Screen;
    Screen& m_screen;
    std::string_view m_name;
    int m_index;
    std::optional<Kind> m_kind; // none: any kind
    Control* m_control = nullptr;
};

template <class T = Control>
class ControlRef final : public ControlRefBase {
public:
    ControlRef(Screen& screen, std::string_view name, int index = -1)
        : ControlRefBase(screen, name, index, controlKindOf<T>())
    {
    }
    T& operator*() const { return static_cast<T&>(get()); }
    T* operator->() const { return &**this; }
};

} // namespace vp
