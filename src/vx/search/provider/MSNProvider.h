// The MSN provider: adds the search cohort "sc" before what every provider adds.
//
// The cohort comes from the desktop configuration, "search" / "MSN" / "searchcohort" /
// <the "from" value>. For "from" = "ie" without a stored cohort it is decided once
// ("1" when "search" / "initialprovider" is "MSN", else "2"), stored there and the
// desktop configuration file saved; later calls read it back. Other "from" values
// without a stored cohort get none.
//
// Runs on the thread of the script functions; the change of the desktop tree goes
// through ConfigFiles::changeDesktopConfig, so threads reading the cached trees meanwhile
// are safe. A failure to store or save the cohort throws (VXException and kinds).
#pragma once

#include "vx/config/ConfigFiles.h"
#include "vx/search/provider/Provider.h"

namespace vx::search::provider {

class MSNProvider : public Provider {
public:
    // `files` outlives the provider.
    MSNProvider(std::string app, std::string name, config::ConfigFiles& files);

    Parameters& addParameters(const std::string& query, Parameters& parameters) override;

    // The cohort for `parameters` (read, or decided and stored as above); empty for none.
    std::string cohort(const Parameters& parameters);

private:
    config::ConfigFiles& files_;
};

} // namespace vx::search::provider
