#include "external/proxy/DispatchFace.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/Automation.h"
#include "runtime/win32/ComObject.h"
#include "runtime/win32/ComPtr.h"
#include "vx/logger.h"

#include <exception>
#include <new>
#include <string>

namespace external::proxy {
namespace {

using runtime::win32::ComPtr;
using runtime::win32::UniqueVariant;

vx::Variant fromVariant(const VARIANT& value) {
    switch (value.vt) {
    case VT_BSTR:
        return vx::Variant(runtime::win32::bstrToUtf8(value.bstrVal));
    case VT_DISPATCH: {
        // The Variant holds a reference of its own; if making the shared_ptr fails,
        // it calls the deleter, so the reference is never lost.
        IDispatch* dispatch = value.pdispVal;
        if (dispatch != nullptr) {
            dispatch->AddRef();
        }
        return vx::Variant(vx::Variant::DispatchRef(dispatch, [](IDispatch* held) {
            if (held != nullptr) {
                held->Release();
            }
        }));
    }
    default:
        return {};
    }
}

UniqueVariant toVariant(const vx::Variant& value) {
    // The kinds in the order the automation face tests them; the Variant has no
    // unsigned, 8-, 16- or 64-bit integers and no wide-text pointers.
    UniqueVariant out;
    VARIANT& v = *out.get();
    switch (value.kind()) {
    case vx::Variant::Kind::String:
        v.bstrVal = runtime::win32::makeBstr(value.asString()).release();
        v.vt = VT_BSTR;
        break;
    case vx::Variant::Kind::Int32:
        v.lVal = value.asInt32();
        v.vt = VT_I4;
        break;
    case vx::Variant::Kind::Float:
        v.fltVal = *value.ifFloat();
        v.vt = VT_R4;
        break;
    case vx::Variant::Kind::Double:
        v.dblVal = *value.ifDouble();
        v.vt = VT_R8;
        break;
    case vx::Variant::Kind::Bool:
        v.boolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
        v.vt = VT_BOOL;
        break;
    default:
        break;
    }
    return out;
}

class DispatchFace final : public runtime::win32::ComObject<IDispatch> {
public:
    explicit DispatchFace(std::shared_ptr<NamespaceResolver> space) noexcept
        : space_(std::move(space)) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) {
            *count = 0;
        }
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

private:
    UniqueVariant valueOf(const BaseDispatcher& member, const DISPPARAMS* params) const;
    UniqueVariant callFunction(NativeFunction function, const DISPPARAMS* params) const;

    std::shared_ptr<NamespaceResolver> space_;
};

HRESULT DispatchFace::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    try {
        vx::logger::info("Dispatch Resolver GetIDsOfNames");
        if (count > 0 && (names == nullptr || ids == nullptr)) {
            return E_POINTER;
        }
        for (UINT i = 0; i < count; ++i) {
            const std::string name =
                names[i] == nullptr ? std::string() : runtime::win32::narrow(names[i]);
            vx::logger::info("Name: {}", name);
            const BaseDispatcher* member = space_->dispatcher(name);
            if (member == nullptr) {
                for (UINT rest = i; rest < count; ++rest) {
                    ids[rest] = DISPID_UNKNOWN;
                }
                return DISP_E_UNKNOWNNAME;
            }
            ids[i] = member->dispId();
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT DispatchFace::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO*, UINT*) {
    try {
        const std::string* memberName = space_->memberName(id);
        vx::logger::info("Dispatch Resolver Invoke ({}) Dispid: {} member: {}", space_->name(), id,
                         memberName != nullptr ? *memberName : std::string());
        static constexpr struct {
            WORD bit;
            const char* text;
        } kFlags[] = {{DISPATCH_METHOD, "DISPATCH_METHOD"},
                      {DISPATCH_PROPERTYGET, "DISPATCH_PROPERTYGET"},
                      {DISPATCH_PROPERTYPUT, "DISPATCH_PROPERTYPUT"},
                      {DISPATCH_PROPERTYPUTREF, "DISPATCH_PROPERTYPUTREF"}};
        for (const auto& flag : kFlags) {
            if ((flags & flag.bit) != 0) {
                vx::logger::info(flag.text);
            }
        }
        // Clients must pass DISPPARAMS; a missing one is taken as no arguments.
        vx::logger::info("Contains: {} arguments and {} named arguments",
                         params != nullptr ? params->cArgs : 0U,
                         params != nullptr ? params->cNamedArgs : 0U);
        try {
            const BaseDispatcher* member =
                memberName != nullptr ? space_->dispatcher(*memberName) : nullptr;
            if (member == nullptr) {
                throw runtime::Exception(
                    runtime::format("No member with id {} in {}", id, space_->name()));
            }
            UniqueVariant value = valueOf(*member, params);
            if (result != nullptr) {
                // An out-parameter: what it holds on entry is not ours to free.
                *result = value.release();
            } else {
                vx::logger::info("No pVarResult to copy into");
            }
            return S_OK;
        } catch (...) {
            vx::logger::info("{}", runtime::describe(std::current_exception()));
            return DISP_E_MEMBERNOTFOUND;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

UniqueVariant DispatchFace::valueOf(const BaseDispatcher& member, const DISPPARAMS* params) const {
    if (std::shared_ptr<NamespaceResolver> child = member.child()) {
        ComPtr<IDispatch> face(createDispatchFace(std::move(child)));
        UniqueVariant out;
        out->pdispVal = face.detach();
        out->vt = VT_DISPATCH;
        return out;
    }
    if (NativeFunction function = member.function()) {
        return callFunction(function, params);
    }
    // Bound methods are reached through the path call only.
    return UniqueVariant();
}

UniqueVariant DispatchFace::callFunction(NativeFunction function, const DISPPARAMS* params) const {
    const UINT count = params != nullptr ? params->cArgs : 0;
    if (count > 0 && params->rgvarg == nullptr) {
        throw runtime::Exception("The call names arguments but passes none");
    }
    vx::Variant::List args(count);
    for (UINT i = 0; i < count; ++i) {
        // Automation passes the arguments last-first.
        const VARIANT& arg = params->rgvarg[count - 1 - i];
        vx::logger::info("Unpacking parameter of type {}", static_cast<unsigned>(arg.vt));
        args[i] = fromVariant(arg);
    }
    return toVariant(function(args, space_->context()));
}

} // namespace

IDispatch* createDispatchFace(std::shared_ptr<NamespaceResolver> space) {
    if (!space) {
        throw runtime::Exception("A dispatch face needs a namespace");
    }
    return new DispatchFace(std::move(space));
}

} // namespace external::proxy
