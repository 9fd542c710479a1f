// Copyable, reference-counted function objects: the body of a host GThread.
// function<int> holds a SafePointer to a heap function object; copies share the object,
// and the last copy to go deletes it. The counters come from the process-wide
// RefCountManager, keyed by the object's address.
#ifndef OV_FUNCTION_H
#define OV_FUNCTION_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <typeinfo>

#include "OVRuntimeError.h"
#include "RefCountManager.h"

template <typename R>
class function_obj_base {
public:
    virtual ~function_obj_base() {}
    virtual R operator()() = 0;
};

template <typename R, typename F>
class function_obj;

// A free function returning R.
template <typename R>
class function_obj<R, R (*)()> : public function_obj_base<R> {
public:
    explicit function_obj(R (*fn)()) : m_fn(fn) {}
    R operator()() override { return m_fn(); }

private:
    R (*m_fn)();
};

// A zero-argument member function of T bound to one object.
template <typename R, typename T>
struct bind_funcobj0 {
    R (T::*method)();
    T* object;
};

template <typename R, typename T>
class function_obj<R, bind_funcobj0<R, T>> : public function_obj_base<R> {
public:
    function_obj(R (T::*method)(), T* object) : m_method(method), m_object(object) {}
    R operator()() override { return (m_object->*m_method)(); }

private:
    R (T::*m_method)();
    T* m_object;
};

class BaseSafePointer {};

// Shared ownership of a heap object through a RefCountManager counter.
template <typename T>
class SafePointer : public BaseSafePointer {
public:
    explicit SafePointer(T* p) : m_pObject(p), m_pCounter(nullptr) {
        if (p == nullptr) {
            ThrowNullPointerException("Construct from NULL original pointer");
        }
        m_pCounter = RefCountManager::getInstance().retrieveRefCount(p, typeName());
    }

    SafePointer(const SafePointer& other) : m_pObject(nullptr), m_pCounter(nullptr) {
        if (other.m_pObject == nullptr) {
            other.ThrowNullPointerException("Construct from NULL <T>pointer");
        }
        other.inc_reference();
        m_pObject = other.m_pObject;
        m_pCounter = other.m_pCounter;
    }

    SafePointer& operator=(const SafePointer&) = delete;

    virtual ~SafePointer() {
        if (m_pObject == nullptr) {
            return;
        }
        m_pCounter->lock();
        if (m_pCounter->getPointer() != static_cast<void*>(m_pObject)) {
            // A destructor lets no exception out: a corrupt counter ends the process.
            std::fputs("not valid pointer in dec_reference\n", stdout);
            std::fflush(stdout);
            std::abort();
        }
        if (m_pCounter->dec_reference() == 0) {
            // No other pointer refers to the counter any more: release it before handing it
            // back, since the manager may reuse or free it.
            delete m_pObject;
            m_pObject = nullptr;
            m_pCounter->unLock();
            RefCountManager::getInstance().returnbackRefCount(m_pCounter, typeName());
            return;
        }
        m_pCounter->unLock();
    }

    T* get() const { return m_pObject; }
    T* operator->() const { return m_pObject; }

    // The platform's type-information name of T ("17function_obj_baseIiE" for the bodies).
    static const char* typeName() { return typeid(T).name(); }

    [[noreturn]] static void ThrowNullPointerException(const char* text) {
        std::string message = std::string("SafePointer Report:") + typeName() + " " + text;
        std::printf("%s\n", message.c_str());
        std::fflush(stdout);
        throw OVRuntimeError(message);
    }

private:
    void inc_reference() const {
        if (m_pCounter == nullptr) {
            ThrowNullPointerException("Already destructed 1");
        }
        if (m_pCounter->lock() != 0) {
            ThrowNullPointerException("Already destructed 2");
        }
        if (m_pCounter->getPointer() != static_cast<void*>(m_pObject)) {
            m_pCounter->unLock();
            throw OVRuntimeError(std::string("not valid pointer in inc_reference "));
        }
        if (m_pCounter->inc_reference() != 0) {
            m_pCounter->unLock();
            return;
        }
        m_pCounter->unLock();
        ThrowNullPointerException("Already destructed 3");
    }

    T* m_pObject;
    ref_count* m_pCounter;
};

template <typename R>
class function {
public:
    explicit function(R (*fn)()) : m_ptr(new function_obj<R, R (*)()>(fn)) {}
    explicit function(function_obj_base<R>* obj) : m_ptr(obj) {}
    function(const function& other) = default;
    virtual ~function() {}
    R operator()() const { return (*m_ptr.get())(); }

private:
    SafePointer<function_obj_base<R>> m_ptr;
};

#endif
