// The COM automation face of a namespace (Windows only): IDispatch over one
// NamespaceResolver, so that a COM client can look members up by name and call
// them with VARIANT arguments.
//
// - GetIDsOfNames gives each name its member id; at the first name that is not a
//   member it stops with DISP_E_UNKNOWNNAME, keeping the ids stored before it and
//   marking that name and the ones after it DISPID_UNKNOWN.
// - Invoke answers a child namespace with a new face over it (VT_DISPATCH, one
//   reference for the caller) and calls a function with the arguments converted
//   last-first (VT_BSTR as UTF-8 text, VT_DISPATCH as a DispatchRef holding its own
//   reference, any other type as empty) and the namespace's application object. The
//   result comes back as VT_BSTR, VT_I4, VT_R4, VT_R8 or VT_BOOL, anything else as
//   VT_EMPTY. An unknown id, or an error from the function, is logged with its text
//   and answered DISP_E_MEMBERNOTFOUND. The flags are logged and otherwise not
//   looked at, nor are named arguments; the exception information and the argument
//   error index are never written. Nothing is thrown across the interface.
// - There is no type information: GetTypeInfoCount and GetTypeInfo answer E_NOTIMPL.
//
// GetIDsOfNames and Invoke log each request (names, member, flags, argument counts
// and types) as they work through it. Reference counting is safe from any thread, but
// the namespace tree is not locked: callers keep one tree on one thread.
#pragma once

#include "external/proxy/NamespaceResolver.h"

#include <windows.h>

#include <oleauto.h>

#include <memory>

namespace external::proxy {

// A new face over `space` (not null) holding one reference, the caller's, which the
// caller gives back with Release. The face keeps `space` alive until its last
// Release. Throws std::bad_alloc, or runtime::Exception for a null namespace.
IDispatch* createDispatchFace(std::shared_ptr<NamespaceResolver> space);

} // namespace external::proxy
