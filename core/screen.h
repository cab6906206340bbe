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
#include <string_view>
#include <vector>

class QWidget;

namespace vp {

class Clock;
class MessageBoxes;
class Random;
class Screen;
class ScreenWindow;
class ControlRef;

class Runtime {
public:
    Runtime(Clock& clock, MessageBoxes& boxes, Random& random);

    Clock& clock() { return m_clock; }
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
    void requestActive(Screen* s);
    void screenHidden(Screen* s);
    void windowActivatedByUser(Screen* s);
    void screenClosed(Screen* s);

    // Called when the user closed a window and no screen is visible any more.
    std::function<void()> onNothingVisible;
    std::vector<Screen*> screens;

private:
    void settleActivation();

    Clock& m_clock;
    MessageBoxes& m_boxes;
    Random& m_random;
    bool m_busy = false;
    Screen* m_active = nullptr;
    Screen* m_pending = nullptr;
    Screen* m_caller = nullptr;
};

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
    Control& C(std::string_view name, int index = -1);

    // Looks without loading.
    Lifecycle lifecycle() const { return m_lifecycle; }
    bool isLoaded() const { return m_lifecycle == Lifecycle::Loaded; }
    bool isVisible() const;
    QWidget* window() const;
    QString name() const;
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

    // Lets a screen ask the window system for something its definition
    // cannot say, before the window is first shown.
    virtual void windowBuilt(QWidget& window) { (void)window; }

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
    bool defines(std::string_view control, int index) const;
    void fire(std::string_view control, int index, Event event);
    void fireFromUser(std::string_view control, int index, Event event);
    void applyInitialFocus();

    const ScreenDef& m_def;
    Lifecycle m_lifecycle = Lifecycle::NotCreated;
    QPointer<ScreenWindow> m_window;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<Binding> m_bindings;
    std::vector<ControlRef*> m_refs;  // what the behaviour holds, resolved at every build
    std::vector<Control*> m_tabOrder; // gathered once per build
    bool m_placed = false;
    Placement m_placement{{m_def.maximised, m_def.centred, m_def.border == Border::Sizable, m_def.taskbar}};

    friend class Runtime;
    friend class ControlRef;
};

// A control that a behaviour uses, named where the behaviour declares it and
// looked up once per build of its screen's window; a name the definition
// lacks fails that build, naming the screen and the control. Using it loads
// the screen if it is not loaded, as any reference does.
class ControlRef {
public:
    ControlRef(Screen& screen, std::string_view name, int index = -1);
    ~ControlRef();
    ControlRef(const ControlRef&) = delete;
    ControlRef& operator=(const ControlRef&) = delete;

    Control& operator*() const;
    Control* operator->() const { return &**this; }

private:
    friend class Screen;
    Screen& m_screen;
    std::string_view m_name;
    int m_index;
    Control* m_control = nullptr;
};

} // namespace vp
