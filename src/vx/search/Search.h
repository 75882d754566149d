// The address a search of some text opens, built from the product's settings.
//
// buildUrl(query, from, f, sbs, app, providerName):
//   - a query without a blank and with a dot that resolves as a host (IPv4 text or a
//     name) gives "http://" + query and nothing else is done;
//   - otherwise the query is logged, the parameters "from", "f", "sbs" are set, the
//     provider is picked (ProviderFactory), addCommonParameters and replaceBlanks run,
//     and the provider's template ("search" / <provider> / "url" in its application's
//     data) is expanded leniently (vx::text::substitute): a name without a value gives
//     empty text. When that template cannot be read, the provider Algorithm chooses is
//     used for the template (the parameters stay as they are); an empty template logs
//     "sUrl is definitely null".
// Values are written as they stand: blanks become "+", nothing is percent-encoded,
// since the stored templates and the search server expect exactly that.
//
// Failures (no provider to be had, a template that cannot be read even with the chosen
// provider, a malformed template, a name lookup failing for another reason than the name
// having no address, a cohort that cannot be saved) throw to the caller.
//
// One thread uses a Search at a time; the files and the resolver outlive it.
#pragma once

#include "runtime/net/Resolver.h"
#include "vx/config/ConfigFiles.h"
#include "vx/search/provider/Provider.h"

#include <string>

namespace vx::search {

// "tbid" and "did" when the desktop configuration has no "desktopid".
inline constexpr const char* kDefaultDesktopId = "{6B1E3F52-9C4D-4A87-B0E2-5D7F18C3A946}";

class Search {
public:
    // The product's files (vx::config::app::files()) and the system's resolver.
    Search();
    Search(config::ConfigFiles& files, const runtime::net::HostResolver& resolver);
    virtual ~Search() = default;

    virtual std::string buildUrl(const std::string& query, const std::string& from,
                                 const std::string& f, const std::string& sbs,
                                 const std::string& app, const std::string& providerName);

    // Every blank (0x20) of every value becomes "+"; nothing else changes.
    virtual Parameters& replaceBlanks(Parameters& parameters);

    // Stores the text value of each entry of `section`, in its order, under its key. An
    // entry that is not a text stops the walk with a VXException; what was stored stays.
    virtual Parameters& mergeSettings(Parameters& parameters, const config::Config& section);

    // "q", "app", "tbid" and "did", "lcid" (the provider application's user
    // configuration, else "en-us"), the provider's own, then the top-level texts of the
    // application's configuration and user configuration (errors there are dropped).
    virtual Parameters& addCommonParameters(provider::Provider& provider, Parameters& parameters,
                                            const std::string& query);

private:
    std::string templateOf(const provider::Provider& provider);

    config::ConfigFiles& files_;
    const runtime::net::HostResolver& resolver_;
};

} // namespace vx::search
