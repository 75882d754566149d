// "tulip.vxcore.search": search addresses, the search protection flag, and the search
// texts and brands that the product's search component reports.
//   GenSearchUrl(query, from, f, sbs, app, provider)   the search address (vx::search::Search)
//   GetSearchTextForApp(app), GetSearchBrandForApp(app) from the component (Windows)
//   IsSearchProtectionEnabled(), EnableSearchProtection(), DisableSearchProtection()
// Errors throw and the path call answers null, except that the three protection
// functions catch their own: reading answers false, writing drops the error.
#pragma once

#include "external/proxy/NamespaceResolver.h"

#include <cstdint>
#include <string>

namespace tulip::vxcore::search {

// The "sbs" value: a number cut toward zero to a 32-bit integer. A value outside that
// range, or not a number at all, throws: there is no 32-bit integer to pass on.
std::int32_t truncatedSbs(long double value);

vx::Variant GenSearchUrl(const vx::Variant::List& args, const external::proxy::Context& context);
vx::Variant GetSearchTextForApp(const vx::Variant::List& args,
                                const external::proxy::Context& context);
vx::Variant GetSearchBrandForApp(const vx::Variant::List& args,
                                 const external::proxy::Context& context);
vx::Variant IsSearchProtectionEnabled(const vx::Variant::List& args,
                                      const external::proxy::Context& context);
vx::Variant EnableSearchProtection(const vx::Variant::List& args,
                                   const external::proxy::Context& context);
vx::Variant DisableSearchProtection(const vx::Variant::List& args,
                                    const external::proxy::Context& context);

// The call to the component behind the two functions above: the text (or brand) the
// component answers for `app`, with the status of the call. Windows only; elsewhere
// it throws, as a component that is not registered does.
struct ComponentAnswer {
    long status = 0; // the HRESULT
    std::string text;
};
ComponentAnswer askSearchComponent(const std::string& app, bool brand);

} // namespace tulip::vxcore::search
