#include "tulip/vxcore/search.h"

#include "vx/application/ApplicationInfo.h"
#include "vx/logger.h"
#include "vx/search/Search.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <cmath>

namespace tulip::vxcore::search {

namespace {

const vx::Variant& argument(const vx::Variant::List& args, std::size_t index) {
    if (index >= args.size()) {
        throw vx::TypeMismatch(runtime::format("Argument {} is missing", index));
    }
    return args[index];
}

const std::string& text(const vx::Variant::List& args, std::size_t index) {
    return argument(args, index).asString();
}

} // namespace

std::int32_t truncatedSbs(long double value) {
    const long double cut = std::trunc(value);
    if (!(cut >= -2147483648.0L && cut <= 2147483647.0L)) {
        throw runtime::Exception("The sbs value is no 32-bit integer");
    }
    return static_cast<std::int32_t>(cut);
}

vx::Variant GenSearchUrl(const vx::Variant::List& args, const external::proxy::Context&) {
    vx::logger::info("GenSearchUrl");
    const std::string& query = text(args, 0);
    const std::string& from = text(args, 1);
    const std::string& f = text(args, 2);
    const std::int32_t sbs = truncatedSbs(argument(args, 3).asNumber());
    const std::string& app = text(args, 4);
    const std::string& provider = text(args, 5);
    vx::search::Search search;
    return vx::Variant(search.buildUrl(query, from, f, std::to_string(sbs), app, provider));
}

vx::Variant GetSearchTextForApp(const vx::Variant::List& args, const external::proxy::Context&) {
    vx::logger::info("GetSearchTextForApp");
    const ComponentAnswer answer = askSearchComponent(text(args, 0), false);
    vx::logger::info("HRESULT for GetSearchTextForApp: {}", answer.status);
    return vx::Variant(answer.text);
}

vx::Variant GetSearchBrandForApp(const vx::Variant::List& args, const external::proxy::Context&) {
    vx::logger::info("GetSearchBrandForApp");
    return vx::Variant(askSearchComponent(text(args, 0), true).text);
}

vx::Variant IsSearchProtectionEnabled(const vx::Variant::List&, const external::proxy::Context&) {
    try {
        return vx::Variant(vx::application::ApplicationInfo<char>().isSearchProtectionEnabled());
    } catch (...) {
        return vx::Variant(false);
    }
}

vx::Variant EnableSearchProtection(const vx::Variant::List&, const external::proxy::Context&) {
    try {
        vx::application::ApplicationInfo<char>().setSearchProtection(true);
    } catch (...) {
        // never an error towards the movie
    }
    return vx::Variant::nullPointer();
}

vx::Variant DisableSearchProtection(const vx::Variant::List&, const external::proxy::Context&) {
    try {
        vx::application::ApplicationInfo<char>().setSearchProtection(false);
    } catch (...) {
        // never an error towards the movie
    }
    return vx::Variant::nullPointer();
}

} // namespace tulip::vxcore::search
