// The product's search component: a local (out-of-process) COM server, created and
// released within each call. COM is set up for the calling thread by the program's
// module initialisation.
#include "tulip/vxcore/search.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/Automation.h"
#include "runtime/win32/ComPtr.h"

#include <objbase.h>

#include "vx/com/tlb/vxcorelib.h"

namespace tulip::vxcore::search {

ComponentAnswer askSearchComponent(const std::string& app, bool brand) {
    runtime::win32::ComPtr<IVXSearch> component;
    const HRESULT created =
        CoCreateInstance(CLSID_VXSearch, nullptr, CLSCTX_LOCAL_SERVER, IID_IVXSearch,
                         reinterpret_cast<void**>(component.put()));
    if (FAILED(created) || !component) {
        throw runtime::Exception(runtime::format("Cannot create the search component (HRESULT {})",
                                                 static_cast<long>(created)));
    }
    const runtime::win32::UniqueBstr name = runtime::win32::makeBstr(app);
    BSTR received = nullptr;
    ComponentAnswer answer;
    answer.status = brand ? component->GetSearchBrandForApp(name.get(), &received)
                          : component->GetSearchTextForApp(name.get(), &received);
    const runtime::win32::UniqueBstr owned(received);
    answer.text = runtime::win32::bstrToUtf8(owned.get());
    return answer;
}

} // namespace tulip::vxcore::search
