#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace kv {

// A window that is made at its first use and kept from then on, so it keeps its controls'
// contents between showings. Rarely shown windows cost nothing at start that way. The
// window lives in a slot of its own, so moving the Lazy keeps references to it valid.
template <class T> class Lazy
{
public:
    class Slot
    {
    public:
        T *get()
        {
            if (!m_window && m_make) {
                auto make = std::exchange(m_make, nullptr);
                std::unique_ptr<T> made = make();
                if (made) // a maker may have put the window here itself
                    m_window = std::move(made);
            }
            return m_window.get();
        }
        void adopt(std::unique_ptr<T> window)
        {
            m_window = std::move(window);
            m_make = nullptr;
        }
        void reset()
        {
            m_window.reset();
            m_make = nullptr;
        }
        bool made() const { return m_window != nullptr; }

    private:
        friend class Lazy;
        std::unique_ptr<T> m_window;
        std::function<std::unique_ptr<T>()> m_make;
    };

    Lazy() : m_slot(std::make_unique<Slot>()) {}

    void makeWith(std::function<std::unique_ptr<T>()> make)
    {
        m_slot->m_window.reset();
        m_slot->m_make = std::move(make);
    }
    T *get() const { return m_slot ? m_slot->get() : nullptr; }
    T *operator->() const { return get(); }
    T &operator*() const { return *get(); }
    bool made() const { return m_slot && m_slot->made(); }
    void reset()
    {
        if (m_slot)
            m_slot->reset();
    }
    // Stays valid while this Lazy or the one it is moved to lives.
    Slot *slot() const { return m_slot.get(); }

private:
    std::unique_ptr<Slot> m_slot;
};

// Where a window is reached that may not be made yet: a window, or what makes it.
template <class T> class WindowRef
{
public:
    WindowRef() = default;
    WindowRef(T *window) : m_get([window] { return window; }) {}
    WindowRef(typename Lazy<T>::Slot *slot) : m_get([slot] { return slot->get(); }) {}

    T *get() const { return m_get ? m_get() : nullptr; }
    T *operator->() const { return get(); }

private:
    std::function<T *()> m_get;
};

} // namespace kv
