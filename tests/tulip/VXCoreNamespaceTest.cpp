// The member ids of tulip.vxcore's children: the automation face hands them out, so
// their order is part of the interface.
#include "tulip/vxcore/VXCoreNamespace.h"
#include "support/FakeApplication.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> members(const external::proxy::NamespaceResolver& ns) {
    std::vector<std::string> names;
    for (std::int32_t id = 1; const std::string* name = ns.memberName(id); ++id) {
        names.push_back(*name);
    }
    return names;
}

TEST(VXCoreNamespace, MemberIdsRunInTheirFixedOrder) {
    tulip::vxcore::VXCoreNamespace vxcore(std::make_shared<testing_support::FakeApplication>());
    ASSERT_EQ(*vxcore.memberName(1), "search");
    ASSERT_EQ(*vxcore.memberName(2), "config");
    EXPECT_EQ(members(*vxcore.dispatcher("config")->child()),
              (std::vector<std::string>{"GetDesktopData", "GetDesktopConfig", "GetAppData",
                                        "GetAppConfig"}));
    EXPECT_EQ(members(*vxcore.dispatcher("search")->child()),
              (std::vector<std::string>{"GenSearchUrl", "GetSearchTextForApp",
                                        "GetSearchBrandForApp", "IsSearchProtectionEnabled",
                                        "EnableSearchProtection", "DisableSearchProtection"}));
}

} // namespace
