// The automation face driven as a COM client drives it: QueryInterface,
// GetIDsOfNames, Invoke with DISPPARAMS, Release.
#include "external/proxy/DispatchFace.h"

#include "runtime/Exception.h"
#include "runtime/win32/Automation.h"
#include "runtime/win32/ComObject.h"
#include "runtime/win32/ComPtr.h"
#include "support/CapturedLog.h"
#include "tulip/TulipNamespace.h"
#include "vx/application/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using external::proxy::Context;
using external::proxy::NamespaceResolver;
using runtime::win32::ComPtr;
using runtime::win32::UniqueVariant;
using testing_support::CapturedLog;
using vx::Variant;

// What the probe functions saw and answer; reset by the fixture.
struct Probe {
    static inline std::vector<Variant::List> calls;
    static inline Context context;
    static inline Variant answer;
    static inline int boundCalls = 0;
    static inline std::vector<std::string> destroyed;
};

Variant capture(const Variant::List& args, const Context& context) {
    Probe::calls.push_back(args);
    Probe::context = context;
    return Variant("captured");
}

Variant answer(const Variant::List&, const Context&) {
    return Probe::answer;
}

Variant fail(const Variant::List&, const Context&) {
    throw runtime::Exception("the probe failed on purpose");
}

// probe: inner (1), Capture (2), Answer (3), Fail (4), Bound (5)
// inner: Capture (1), Answer (2), Fail (3), Bound (4)
class ProbeNamespace : public NamespaceResolver {
public:
    ProbeNamespace(std::string name, Context application, bool withChild) {
        setContext(application);
        setName(std::move(name));
        if (withChild) {
            addNamespace("inner", std::make_shared<ProbeNamespace>("inner", application, false));
        }
        addFunction("Capture", &capture);
        addFunction("Answer", &answer);
        addFunction("Fail", &fail);
        addDelegate("Bound", [](const Variant::List&, const Context&) {
            ++Probe::boundCalls;
            return Variant(std::int32_t{1});
        });
    }
    ~ProbeNamespace() override { Probe::destroyed.push_back(name()); }
};

// Arguments in call order; DISPPARAMS gets them last-first, as automation passes them.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
        for (VARIANT& v : values_) {
            VariantClear(&v);
        }
    }

    Args& text(const wchar_t* value) {
        VARIANT& v = add(VT_BSTR);
        v.bstrVal = value != nullptr ? SysAllocString(value) : nullptr;
        return *this;
    }
    Args& i4(LONG value) {
        add(VT_I4).lVal = value;
        return *this;
    }
    Args& r8(double value) {
        add(VT_R8).dblVal = value;
        return *this;
    }
    Args& dispatch(IDispatch* value) {
        value->AddRef();
        add(VT_DISPATCH).pdispVal = value;
        return *this;
    }

    DISPPARAMS* params() {
        params_ = DISPPARAMS{values_.data(), nullptr, static_cast<UINT>(values_.size()), 0};
        return &params_;
    }

private:
    VARIANT& add(VARTYPE type) {
        VARIANT v;
        VariantInit(&v);
        v.vt = type;
        values_.insert(values_.begin(), v);
        return values_.front();
    }

    std::vector<VARIANT> values_;
    DISPPARAMS params_{};
};

// What a function received, one entry per argument: strings with their text, other
// kinds by name.
std::vector<std::string> shapes(const Variant::List& args) {
    std::vector<std::string> out;
    for (const Variant& arg : args) {
        out.push_back(arg.is(Variant::Kind::String) ? "string " + arg.asString()
                                                    : Variant::kindName(arg.kind()));
    }
    return out;
}

HRESULT idsOf(IDispatch* target, std::vector<const wchar_t*> names, std::vector<DISPID>& ids) {
    std::vector<LPOLESTR> pointers;
    for (const wchar_t* name : names) {
        pointers.push_back(const_cast<LPOLESTR>(name));
    }
    ids.assign(names.size(), 77);
    return target->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                 LOCALE_USER_DEFAULT, ids.data());
}

DISPID idOf(IDispatch* target, const wchar_t* name) {
    std::vector<DISPID> ids;
    EXPECT_EQ(idsOf(target, {name}, ids), S_OK);
    return ids[0];
}

HRESULT invoke(IDispatch* target, DISPID id, VARIANT* result, DISPPARAMS* params,
               WORD flags = DISPATCH_METHOD) {
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, nullptr,
                          nullptr);
}

HRESULT invoke(IDispatch* target, DISPID id, UniqueVariant& result, WORD flags = DISPATCH_METHOD) {
    Args none;
    return invoke(target, id, result.get(), none.params(), flags);
}

std::shared_ptr<vx::application::VXApplication> installerApplication() {
    return std::make_shared<vx::application::VXApplication>("VXInstaller");
}

// A face over a fresh probe tree that only the face owns. Every test ends with all
// references given back: each namespace destroyed exactly once and the process lock
// count where it started.
class DispatchFaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Probe::calls.clear();
        Probe::context.reset();
        Probe::answer = Variant();
        Probe::boundCalls = 0;
        Probe::destroyed.clear();
        application = installerApplication();
        lockAtStart = runtime::win32::processLockCount().value();
        face.reset(external::proxy::createDispatchFace(
            std::make_shared<ProbeNamespace>("probe", application, true)));
    }

    void TearDown() override {
        face.reset();
        Probe::calls.clear();
        Probe::context.reset();
        std::vector<std::string> destroyed = Probe::destroyed;
        std::sort(destroyed.begin(), destroyed.end());
        EXPECT_EQ(destroyed, (std::vector<std::string>{"inner", "probe"}));
        EXPECT_EQ(runtime::win32::processLockCount().value(), lockAtStart);
    }

    ComPtr<IDispatch> childFace() {
        UniqueVariant child;
        EXPECT_EQ(invoke(face.get(), 1, child, DISPATCH_PROPERTYGET), S_OK);
        EXPECT_EQ(child->vt, VT_DISPATCH);
        if (child->vt != VT_DISPATCH) {
            return {};
        }
        ComPtr<IDispatch> out(child->pdispVal);
        child.release();
        return out;
    }

    std::shared_ptr<vx::application::VXApplication> application;
    long lockAtStart = 0;
    ComPtr<IDispatch> face;
};

TEST(DispatchFaceTulip, IdsFollowTheRegistrationOrder) {
    CapturedLog log;
    ComPtr<IDispatch> tulip(external::proxy::createDispatchFace(
        std::make_shared<tulip::TulipNamespace>(installerApplication())));
    std::vector<DISPID> ids;
    ASSERT_EQ(idsOf(tulip.get(), {L"browser", L"vxcore", L"window", L"init", L"GetAppName"}, ids),
              S_OK);
    EXPECT_EQ(ids, (std::vector<DISPID>{1, 2, 3, 4, 5}));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "Dispatch Resolver GetIDsOfNames", "Name: browser", "Name: vxcore",
                               "Name: window", "Name: init", "Name: GetAppName"}));
}

TEST(DispatchFaceTulip, AnUnknownNameKeepsTheIdsBeforeIt) {
    ComPtr<IDispatch> tulip(external::proxy::createDispatchFace(
        std::make_shared<tulip::TulipNamespace>(installerApplication())));
    struct Case {
        std::vector<const wchar_t*> names;
        std::vector<DISPID> ids;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {{L"vxcore", L"window", L"nothing", L"init"},
         {2, 3, DISPID_UNKNOWN, DISPID_UNKNOWN},
         {"Dispatch Resolver GetIDsOfNames", "Name: vxcore", "Name: window", "Name: nothing"}},
        // Names are exact: case matters.
        {{L"getAppName"},
         {DISPID_UNKNOWN},
         {"Dispatch Resolver GetIDsOfNames", "Name: getAppName"}},
        {{L""}, {DISPID_UNKNOWN}, {"Dispatch Resolver GetIDsOfNames", "Name: "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged.back());
        CapturedLog log;
        std::vector<DISPID> ids;
        EXPECT_EQ(idsOf(tulip.get(), c.names, ids), static_cast<HRESULT>(0x80020006));
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(log.texts(), c.logged);
    }
}

TEST(DispatchFaceTulip, GetAppNameAnswersTheApplicationsName) {
    ComPtr<IDispatch> tulip(external::proxy::createDispatchFace(
        std::make_shared<tulip::TulipNamespace>(installerApplication())));
    Args args;
    args.i4(42); // not looked at
    UniqueVariant result;
    ASSERT_EQ(invoke(tulip.get(), idOf(tulip.get(), L"GetAppName"), result.get(), args.params()),
              S_OK);
    ASSERT_EQ(result->vt, VT_BSTR);
    EXPECT_EQ(runtime::win32::bstrToUtf8(result->bstrVal), "VXInstaller");
}

TEST(DispatchFaceTulip, ANamespaceMemberIsAFaceOverTheChild) {
    ComPtr<IDispatch> tulip(external::proxy::createDispatchFace(
        std::make_shared<tulip::TulipNamespace>(installerApplication())));
    UniqueVariant vxcore;
    ASSERT_EQ(invoke(tulip.get(), 2, vxcore, DISPATCH_PROPERTYGET), S_OK);
    ASSERT_EQ(vxcore->vt, VT_DISPATCH);
    ASSERT_NE(vxcore->pdispVal, nullptr);
    EXPECT_EQ(idOf(vxcore->pdispVal, L"install"), 3);
}

TEST_F(DispatchFaceTest, InvokingTheChildsFunctionRunsIt) {
    ComPtr<IDispatch> inner = childFace();
    ASSERT_TRUE(inner);
    Args args;
    args.text(L"through the child");
    UniqueVariant result;
    ASSERT_EQ(invoke(inner.get(), idOf(inner.get(), L"Capture"), result.get(), args.params()),
              S_OK);
    ASSERT_EQ(Probe::calls.size(), 1u);
    EXPECT_EQ(shapes(Probe::calls[0]), (std::vector<std::string>{"string through the child"}));
    EXPECT_EQ(Probe::context, application);
    ASSERT_EQ(result->vt, VT_BSTR);
    EXPECT_EQ(runtime::win32::bstrToUtf8(result->bstrVal), "captured");
}

TEST_F(DispatchFaceTest, ArgumentsArriveInCallOrderAndOnlyTextsAndDispatchesKeepAValue) {
    CapturedLog log;
    Args args;
    args.text(L"Gr\u00fc\u00dfe \u20ac").i4(7).r8(2.5).text(nullptr);
    UniqueVariant result;
    ASSERT_EQ(invoke(face.get(), 2, result.get(), args.params()), S_OK);
    ASSERT_EQ(Probe::calls.size(), 1u);
    EXPECT_EQ(shapes(Probe::calls[0]), (std::vector<std::string>{"string Gr\xC3\xBC\xC3\x9F"
                                                                 "e \xE2\x82\xAC",
                                                                 "empty", "empty", "string "}));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "Dispatch Resolver Invoke (probe) Dispid: 2 member: Capture",
                               "DISPATCH_METHOD",
                               "Contains: 4 arguments and 0 named arguments",
                               "Unpacking parameter of type 8",
                               "Unpacking parameter of type 3",
                               "Unpacking parameter of type 5",
                               "Unpacking parameter of type 8",
                           }));
}

TEST_F(DispatchFaceTest, ADispatchArgumentIsHeldOnlyWhileTheFunctionKeepsIt) {
    IDispatch* argument = external::proxy::createDispatchFace(
        std::make_shared<ProbeNamespace>("argument", nullptr, false));
    {
        Args args;
        args.dispatch(argument);
        UniqueVariant result;
        ASSERT_EQ(invoke(face.get(), 2, result.get(), args.params()), S_OK);
    }
    ASSERT_EQ(Probe::calls.size(), 1u);
    ASSERT_EQ(Probe::calls[0].size(), 1u);
    ASSERT_TRUE(Probe::calls[0][0].is(Variant::Kind::Dispatch));
    EXPECT_EQ(Probe::calls[0][0].asDispatch().get(), argument);
    // Ours and the copy the probe kept.
    EXPECT_EQ(argument->AddRef(), 3u);
    argument->Release();

    Probe::calls.clear();
    EXPECT_EQ(argument->AddRef(), 2u);
    argument->Release();
    argument->Release();
    ASSERT_EQ(std::count(Probe::destroyed.begin(), Probe::destroyed.end(), "argument"), 1);
    // The fixture counts its own tree.
    Probe::destroyed.erase(std::find(Probe::destroyed.begin(), Probe::destroyed.end(), "argument"));
}

TEST_F(DispatchFaceTest, ResultsConvertToTheirAutomationTypes) {
    struct Case {
        const char* what;
        Variant value;
        VARTYPE type;
    };
    const Case cases[] = {
        {"text",
         Variant("Gr\xC3\xBC\xC3\x9F"
                 "e"),
         VT_BSTR},
        {"int32", Variant(std::int32_t{-5}), VT_I4},
        {"float", Variant(1.5f), VT_R4},
        {"double", Variant(2.25), VT_R8},
        {"true", Variant(true), VT_BOOL},
        {"false", Variant(false), VT_BOOL},
        {"empty", Variant(), VT_EMPTY},
        {"null pointer", Variant::nullPointer(), VT_EMPTY},
        {"extended", Variant(3.5L), VT_EMPTY},
        {"list", Variant(Variant::List{Variant("a")}), VT_EMPTY},
        {"string list", Variant(Variant::StringList{"a"}), VT_EMPTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Probe::answer = c.value;
        UniqueVariant result;
        ASSERT_EQ(invoke(face.get(), 3, result), S_OK);
        ASSERT_EQ(result->vt, c.type);
        switch (c.type) {
        case VT_BSTR:
            EXPECT_EQ(std::wstring(result->bstrVal, SysStringLen(result->bstrVal)),
                      L"Gr\u00fc\u00dfe");
            break;
        case VT_I4:
            EXPECT_EQ(result->lVal, -5);
            break;
        case VT_R4:
            EXPECT_EQ(result->fltVal, 1.5f);
            break;
        case VT_R8:
            EXPECT_EQ(result->dblVal, 2.25);
            break;
        case VT_BOOL:
            EXPECT_EQ(result->boolVal, c.value.asBool() ? -1 : 0);
            break;
        default:
            break;
        }
    }
}

TEST_F(DispatchFaceTest, EveryFlagIsLoggedInOrderAndAMissingResultIsNoted) {
    struct Case {
        WORD flags;
        std::vector<std::string> flagLines;
    };
    const Case cases[] = {
        {0, {}},
        {DISPATCH_PROPERTYGET, {"DISPATCH_PROPERTYGET"}},
        {DISPATCH_PROPERTYPUTREF | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYGET | DISPATCH_METHOD,
         {"DISPATCH_METHOD", "DISPATCH_PROPERTYGET", "DISPATCH_PROPERTYPUT",
          "DISPATCH_PROPERTYPUTREF"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        CapturedLog log;
        Probe::answer = Variant(true);
        // No DISPPARAMS at all is taken as no arguments.
        ASSERT_EQ(invoke(face.get(), 3, nullptr, nullptr, c.flags), S_OK);
        std::vector<std::string> expected = {
            "Dispatch Resolver Invoke (probe) Dispid: 3 member: Answer"};
        expected.insert(expected.end(), c.flagLines.begin(), c.flagLines.end());
        expected.push_back("Contains: 0 arguments and 0 named arguments");
        expected.push_back("No pVarResult to copy into");
        EXPECT_EQ(log.texts(), expected);
    }
}

TEST_F(DispatchFaceTest, AnUnknownIdOrAFailingFunctionIsMemberNotFound) {
    struct Case {
        DISPID id;
        std::string header;
        std::string error;
    };
    const Case cases[] = {
        {99,
         "Dispatch Resolver Invoke (probe) Dispid: 99 member: ", "No member with id 99 in probe"},
        {4, "Dispatch Resolver Invoke (probe) Dispid: 4 member: Fail",
         "the probe failed on purpose"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CapturedLog log;
        UniqueVariant result;
        EXPECT_EQ(invoke(face.get(), c.id, result), static_cast<HRESULT>(0x80020003));
        EXPECT_EQ(result->vt, VT_EMPTY);
        EXPECT_EQ(log.texts(), (std::vector<std::string>{
                                   c.header, "DISPATCH_METHOD",
                                   "Contains: 0 arguments and 0 named arguments", c.error}));
    }
}

TEST_F(DispatchFaceTest, ABoundMethodIsAnsweredEmptyWithoutBeingCalled) {
    UniqueVariant result;
    ASSERT_EQ(invoke(face.get(), 5, result), S_OK);
    EXPECT_EQ(result->vt, VT_EMPTY);
    EXPECT_EQ(Probe::boundCalls, 0);
}

TEST_F(DispatchFaceTest, QueryInterfaceAnswersIUnknownAndIDispatchWithTheFace) {
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.put())), S_OK);
    ASSERT_EQ(face->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(face.get()));
    EXPECT_EQ(dispatch.get(), face.get());
    // The face's own reference and the two answers.
    EXPECT_EQ(face->AddRef(), 4u);
    EXPECT_EQ(face->Release(), 3u);

    for (const IID& other : {IID_IClassFactory, IID_IStream, IID_ITypeInfo}) {
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(face->QueryInterface(other, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(face->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(DispatchFaceTest, ThereIsNoTypeInformation) {
    UINT count = 5;
    EXPECT_EQ(face->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1234);
    EXPECT_EQ(face->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), E_NOTIMPL);
    EXPECT_EQ(info, nullptr);
}

TEST_F(DispatchFaceTest, EveryReferenceCountsTowardsTheLockCount) {
    const auto lock = [] { return runtime::win32::processLockCount().value(); };
    EXPECT_EQ(lock(), lockAtStart + 1);
    face->AddRef();
    EXPECT_EQ(lock(), lockAtStart + 2);
    face->Release();
    ComPtr<IDispatch> inner = childFace(); // a new face with one reference
    EXPECT_EQ(lock(), lockAtStart + 2);
    inner.reset();
    EXPECT_EQ(lock(), lockAtStart + 1);
}

TEST_F(DispatchFaceTest, AChildFaceKeepsItsNamespaceAfterTheRootFaceIsGone) {
    ComPtr<IDispatch> inner = childFace();
    ASSERT_TRUE(inner);
    face.reset();
    EXPECT_EQ(Probe::destroyed, (std::vector<std::string>{"probe"}));

    Probe::answer = Variant(std::int32_t{12});
    UniqueVariant result;
    ASSERT_EQ(invoke(inner.get(), 2, result), S_OK);
    EXPECT_EQ(result->lVal, 12);

    inner.reset();
    EXPECT_EQ(Probe::destroyed, (std::vector<std::string>{"probe", "inner"}));
}

TEST(LockCount, ReleasingBelowZeroIsAnErrorAndLeavesZero) {
    runtime::win32::LockCount count;
    count.acquire();
    count.release();
    try {
        count.release();
        FAIL() << "released below zero";
    } catch (const runtime::Exception& error) {
        EXPECT_STREQ(error.what(), "Negative Lock Count");
    }
    EXPECT_EQ(count.value(), 0);
    count.acquire();
    EXPECT_EQ(count.value(), 1);
}

TEST(LockCountDeathTest, AReleaseThatDrivesTheCountNegativeEndsTheProcess) {
    EXPECT_EXIT(
        {
            IDispatch* face = external::proxy::createDispatchFace(
                std::make_shared<ProbeNamespace>("probe", nullptr, false));
            // Stand in for a release elsewhere that the count never saw.
            while (runtime::win32::processLockCount().value() > 0) {
                runtime::win32::processLockCount().release();
            }
            face->Release();
        },
        ::testing::ExitedWithCode(static_cast<int>(runtime::win32::kReferenceFaultExitCode)), "");
}

} // namespace
