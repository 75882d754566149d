// The base of our own COM objects: IUnknown over one interface, with the reference
// count and the process-wide lock count that COM servers keep.
//
// A new object starts with one reference, the creator's; AddRef and Release are
// interlocked and may come from any thread; the last Release destroys the object,
// once. Objects are made with `new` (std::bad_alloc on failure) and owned by their
// reference count alone: never delete one, never put one on the stack.
//
// The lock count rises at every creation and every AddRef and falls at every
// Release, so it is the number of live references to all our objects together. It
// can only go below zero when some object was released more often than it was
// referenced, and then the object was already destroyed when its Release ran: the
// heap is no longer trustworthy. A throw cannot cross the COM boundary, and logging
// and carrying on would hide the fault, so Release writes "Negative Lock Count" to
// the debugger output and ends the process at once with kReferenceFaultExitCode.
#pragma once

#include "runtime/DebugOutput.h"
#include "runtime/Exception.h"

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace runtime::win32 {

// The exit code of a process ended by a reference-counting fault.
inline constexpr UINT kReferenceFaultExitCode = 3;

class LockCount {
public:
    constexpr LockCount() noexcept = default;
    LockCount(const LockCount&) = delete;
    LockCount& operator=(const LockCount&) = delete;

    void acquire() noexcept { count_.fetch_add(1); }

    // Throws runtime::Exception "Negative Lock Count" when there was nothing to
    // release; the count then stays at zero.
    void release() {
        if (count_.fetch_sub(1) <= 0) {
            count_.fetch_add(1);
            throw Exception("Negative Lock Count");
        }
    }

    long value() const noexcept { return count_.load(); }

private:
    std::atomic<long> count_{0};
};

// The one count of the process.
inline LockCount& processLockCount() noexcept {
    static LockCount count;
    return count;
}

// Writes the error as a log line and ends the process without running any more of
// its code (no atexit handlers, no DLL detach): see the header comment.
[[noreturn]] inline void endOnReferenceFault(const Exception& error) noexcept {
    char line[256];
    std::snprintf(line, sizeof line, "INFO: %s\n", error.what());
    writeDebugOutput(line);
    TerminateProcess(GetCurrentProcess(), kReferenceFaultExitCode);
    std::_Exit(static_cast<int>(kReferenceFaultExitCode)); // not reached
}

template <class Interface> class ComObject : public Interface {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // IUnknown and `Interface` give the same pointer; anything else E_NOINTERFACE
    // with a null out-pointer.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        processLockCount().acquire();
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }

    ULONG STDMETHODCALLTYPE Release() override {
        // The lock count first: when it faults, this object is already gone.
        releaseLock();
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() noexcept { processLockCount().acquire(); }

    virtual ~ComObject() {
        // Destroyed without its last Release: a derived constructor threw. Give back
        // the count taken at creation.
        if (references_ != 0) {
            releaseLock();
        }
    }

private:
    static void releaseLock() noexcept {
        try {
            processLockCount().release();
        } catch (const Exception& error) {
            endOnReferenceFault(error);
        }
    }

    LONG references_ = 1;
};

} // namespace runtime::win32
