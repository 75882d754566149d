// Stand-in for the product's search component: a local (out-of-process) COM server
// with IVXSearch, the interface the installer asks for an application's search text
// and brand. Calls between processes are marshaled through the type library, which
// this program carries as its resource and registers.
//
//   vxsearch.exe /RegServer     registers the class, the type library and its
//                               interfaces for the whole machine (HKEY_CLASSES_ROOT)
//   vxsearch.exe /UnregServer   removes all of that again
//   vxsearch.exe -Embedding     how COM starts it: serves until the last object is gone
//
// The answers come from vxsearch.ini beside the program, read at every call:
//   [<application>]
//   text = <search text>
//   brand = <search brand>
// An application without a section (or without the value asked for) gets
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) and no string.
#include "vx/com/tlb/vxcorelib.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <atomic>
#include <string>

namespace {

DWORD mainThread = 0;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

DWORD classCookie = 0;

// The last object or lock gone: the server ends. The class object goes at once, within
// the client's Release, so that the client's next activation starts a new server
// rather than reaching this one while it ends. Calls arrive on the main thread (a
// single-threaded apartment), the thread that registered the class object.
void releaseServer() {
    if (liveObjects.load() == 0 && serverLocks.load() == 0) {
        if (classCookie != 0) {
            CoRevokeClassObject(classCookie);
            classCookie = 0;
        }
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    }
}

std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring settingsPath() {
    std::wstring path = programPath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"vxsearch.ini";
}

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The value `name` of the section `app`; false when either is missing.
bool readSetting(const wchar_t* app, const wchar_t* name, std::wstring& value) {
    const wchar_t* missing = L"\x01missing\x01";
    wchar_t buffer[2048] = {};
    GetPrivateProfileStringW(app, name, missing, buffer, 2048, settingsPath().c_str());
    if (std::wstring(buffer) == missing) {
        return false;
    }
    value = buffer;
    return true;
}

class Search final : public IVXSearch {
public:
    Search() { ++liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IVXSearch)) {
            *object = static_cast<IVXSearch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --references_;
        if (left == 0) {
            if (typeInfo_ != nullptr) {
                typeInfo_->Release();
            }
            delete this;
            --liveObjects;
            releaseServer();
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        const HRESULT loaded = loadTypeInfo();
        if (FAILED(loaded)) {
            return loaded;
        }
        typeInfo_->AddRef();
        *info = typeInfo_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        const HRESULT loaded = loadTypeInfo();
        return FAILED(loaded) ? loaded : DispGetIDsOfNames(typeInfo_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        const HRESULT loaded = loadTypeInfo();
        return FAILED(loaded) ? loaded
                              : DispInvoke(static_cast<IVXSearch*>(this), typeInfo_, id, flags,
                                           params, result, exception, argError);
    }

    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) override {
        if (version == nullptr) {
            return E_POINTER;
        }
        *version = SysAllocString(L"1.0");
        return *version != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE Reload() override { return S_OK; } // settings are read at every call
    HRESULT STDMETHODCALLTYPE GetSearchTextForApp(BSTR app, BSTR* text) override {
        return answer(app, L"text", text);
    }
    HRESULT STDMETHODCALLTYPE GetSearchBrandForApp(BSTR app, BSTR* brand) override {
        return answer(app, L"brand", brand);
    }

private:
    ~Search() = default;

    HRESULT answer(BSTR app, const wchar_t* name, BSTR* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (app == nullptr || SysStringLen(app) == 0) {
            return E_INVALIDARG;
        }
        std::wstring value;
        if (!readSetting(app, name, value)) {
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        *out = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT loadTypeInfo() {
        if (typeInfo_ != nullptr) {
            return S_OK;
        }
        ITypeLib* library = nullptr;
        HRESULT result = LoadTypeLibEx(programPath().c_str(), REGKIND_NONE, &library);
        if (SUCCEEDED(result)) {
            result = library->GetTypeInfoOfGuid(IID_IVXSearch, &typeInfo_);
            library->Release();
        }
        return result;
    }

    std::atomic<long> references_{1};
    ITypeInfo* typeInfo_ = nullptr;
};

// The one class object, registered for the server's lifetime; it does not keep the
// server alive by itself.
class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        Search* search = new (std::nothrow) Search();
        if (search == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT result = search->QueryInterface(iid, object);
        search->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++serverLocks;
        } else {
            --serverLocks;
            releaseServer();
        }
        return S_OK;
    }
};

LONG setDefault(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &handle, nullptr);
    if (result == ERROR_SUCCESS) {
        result =
            RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    return result;
}

int registerServer() {
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_VXSearch);
    if (setDefault(clsid, L"VX search component") != ERROR_SUCCESS ||
        setDefault(clsid + L"\\LocalServer32", L"\"" + programPath() + L"\"") != ERROR_SUCCESS ||
        setDefault(clsid + L"\\TypeLib", guidText(LIBID_VXCoreLib)) != ERROR_SUCCESS) {
        return 1;
    }
    // Registers the library and, for its dual interface, the automation marshaler.
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(programPath().c_str(), REGKIND_REGISTER, &library))) {
        return 1;
    }
    library->Release();
    return 0;
}

int unregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(CLSID_VXSearch)).c_str());
    SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    UnRegisterTypeLib(LIBID_VXCoreLib, 1, 0, LOCALE_NEUTRAL, kind);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"Interface\\" + guidText(IID_IVXSearch)).c_str());
    return 0;
}

int serve() {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue, for WM_QUIT
    static Factory factory;
    if (FAILED(CoRegisterClassObject(CLSID_VXSearch, &factory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &classCookie))) {
        CoUninitialize();
        return 1;
    }
    // Nobody comes for an object within a minute: give up rather than linger.
    const UINT_PTR timer = SetTimer(nullptr, 0, 60000, nullptr);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == timer) {
            KillTimer(nullptr, timer);
            releaseServer();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (classCookie != 0) {
        CoRevokeClassObject(classCookie);
        classCookie = 0;
    }
    CoUninitialize();
    return 0;
}

bool isOption(const wchar_t* arg, const wchar_t* name) {
    return (arg[0] == L'/' || arg[0] == L'-') && lstrcmpiW(arg + 1, name) == 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    mainThread = GetCurrentThreadId();
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    int result = 2; // no option we know
    for (int i = 1; args != nullptr && i < count; ++i) {
        if (isOption(args[i], L"RegServer")) {
            result = registerServer();
        } else if (isOption(args[i], L"UnregServer")) {
            result = unregisterServer();
        } else if (isOption(args[i], L"Embedding")) {
            result = serve();
        } else {
            continue;
        }
        break;
    }
    LocalFree(args);
    return result;
}
