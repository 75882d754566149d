// Search addresses from small fixture folders of the five settings files, with a
// resolver of the test's own (no lookups at all).
#include "vx/search/Search.h"

#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "vx/Exception.h"
#include "vx/config/ConfigScalar.h"
#include "vx/search/provider/Algorithm.h"
#include "vx/search/provider/Factory.h"
#include "vx/search/provider/MSNProvider.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace vx::search;
using vx::config::ConfigFiles;
using vx::config::ConfigParser;

class FakeResolver : public runtime::net::HostResolver {
public:
    explicit FakeResolver(std::set<std::string> names = {}) : names_(std::move(names)) {}
    bool resolves(const std::string& host) const override {
        asked.push_back(host);
        return names_.count(host) > 0;
    }
    mutable std::vector<std::string> asked;

private:
    std::set<std::string> names_;
};

// Two applications: "toolbar" (MSN by default, a template echoing every parameter)
// and "older" (its own provider "web").
const char* kAllParameters =
    "from=%(from)s f=%(f)s sbs=%(sbs)s q=%(q)s app=%(app)s tbid=%(tbid)s did=%(did)s "
    "lcid=%(lcid)s sc=%(sc)s csp=%(csp)s extra=%(extra)s";

class SearchTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("search_tests_") + info->name());
        fs::remove_all(dir_);
        write("config/desktopconfig.cfg", "desktopid = {DESKTOP}\n"
                                          "[appregistry]\n"
                                          "[[older]]\ninstalled = 2008-01-02\n"
                                          "[[toolbar]]\ninstalled = 2008-01-10\n"
                                          "[search]\ninitialprovider = MSN\n");
        write("toolbar/config/appdata.cfg",
              std::string("[search]\ndefault = MSN\n[[MSN]]\nurl = ") + kAllParameters +
                  "\n[[msn]]\nurl = lower %(csp)s\n");
        write("older/config/appdata.cfg",
              "[search]\ndefault = web\n[[web]]\nurl = older q=%(q)s csp=%(csp)s\n");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& relative, const std::string& text) {
        fs::create_directories((dir_ / relative).parent_path());
        std::ofstream(dir_ / relative, std::ios::binary) << text;
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(dir_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ConfigFiles& files() {
        if (!files_) {
            files_ = std::make_unique<ConfigFiles>(runtime::utf8FromPath(dir_), parser_);
        }
        return *files_;
    }
    std::string url(const std::string& query, const std::string& from, const std::string& app,
                    const std::string& provider) {
        return Search(files(), resolver_).buildUrl(query, from, "F", "2", app, provider);
    }

    ConfigParser parser_;
    std::unique_ptr<ConfigFiles> files_;
    FakeResolver resolver_{{"www.example.com", "localhost", "10.0.0.1"}};
    fs::path dir_;
};

TEST_F(SearchTest, EveryParameterReachesTheTemplate) {
    write("toolbar/config/appuserconfig.cfg", "lcid = de-de\n");
    EXPECT_EQ(url("red fox", "ie", "toolbar", ""),
              "from=ie f=F sbs=2 q=red+fox app=toolbar tbid={DESKTOP} did={DESKTOP} lcid=de-de "
              "sc=1 csp=MSN extra=");
}

TEST_F(SearchTest, DirectAddressOnlyForDottedTextsWithoutBlanksThatResolve) {
    struct Case {
        const char* query;
        bool direct;
        bool asked;
    };
    const Case cases[] = {
        {"www.example.com", true, true},
        {"10.0.0.1", true, true},
        {"no.such.name", false, true},
        {"localhost", false, false},         // resolves, but has no dot
        {"www.example.com x", false, false}, // a blank: always a search
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        resolver_.asked.clear();
        const std::string got = url(c.query, "x", "older", "");
        if (c.direct) {
            EXPECT_EQ(got, std::string("http://") + c.query);
        } else {
            EXPECT_EQ(got.rfind("older q=", 0), 0u) << got;
        }
        EXPECT_EQ(resolver_.asked.size(), c.asked ? 1u : 0u);
    }
}

TEST_F(SearchTest, TemplateRules) {
    struct Case {
        const char* pattern;
        const char* query;
        const char* expected; // null: the call fails
    };
    const Case cases[] = {
        {"q=%(q)s&x=%(nokey)s&p=100%%", "abc", "q=abc&x=&p=100%"},
        {"q=%(q)s", "red fox", "q=red+fox"},
        {"q=%(q)s", "a%b", "q=a%b"},
        {"q=%(q)s", "caf\xc3\xa9 & co?", "q=caf\xc3\xa9+&+co?"}, // not percent-encoded
        {"q=%(q)", "abc", nullptr},
        {"q=%(q)x", "abc", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        write("plain/config/appdata.cfg",
              std::string("[search]\n[[p]]\nurl = ") + c.pattern + "\n");
        files_.reset();
        if (c.expected == nullptr) {
            EXPECT_ANY_THROW(url(c.query, "x", "plain", "p"));
        } else {
            EXPECT_EQ(url(c.query, "x", "plain", "p"), c.expected);
        }
    }
}

TEST_F(SearchTest, EmptyTemplateIsLogged) {
    write("plain/config/appdata.cfg", "[search]\n[[p]]\nurl =\n");
    testing_support::CapturedLog log;
    EXPECT_EQ(url("abc", "x", "plain", "p"), "");
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"abc", "sUrl is definitely null"}));
}

TEST_F(SearchTest, ProviderChoice) {
    provider::ProviderFactory factory(files());
    struct Case {
        const char* app;
        const char* name;
        const char* app_;
        const char* name_;
        bool msn;
    };
    const Case cases[] = {
        {"toolbar", "", "toolbar", "MSN", true}, // the application's default
        {"toolbar", "msn", "toolbar", "msn", false}, {"older", "", "older", "web", false},
        {"nodata", "", "nodata", "", false},     // no data file: no name
        {"", "ignored", "toolbar", "MSN", true}, // no application: the latest installed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.app) + "/" + c.name);
        const auto chosen = factory.getProvider(c.app, c.name);
        EXPECT_EQ(chosen->app(), c.app_);
        EXPECT_EQ(chosen->name(), c.name_);
        EXPECT_EQ(dynamic_cast<provider::MSNProvider*>(chosen.get()) != nullptr, c.msn);
    }
    EXPECT_EQ(url("abc", "x", "toolbar", "msn"), "lower msn");
}

TEST_F(SearchTest, MissingTemplateFallsBackToTheChosenProvider) {
    // "older" has no "nosuch" section: the template of the latest installed (toolbar/MSN)
    // is used with the parameters already made for older/nosuch.
    const std::string got = url("abc", "x", "older", "nosuch");
    EXPECT_EQ(got, "from=x f=F sbs=2 q=abc app=older tbid={DESKTOP} did={DESKTOP} lcid=en-us sc= "
                   "csp=nosuch extra=");
    // No data file at all, and the chosen one lacks its template too: the call fails.
    write("toolbar/config/appdata.cfg", "[search]\ndefault = MSN\n");
    files_.reset();
    EXPECT_THROW(url("abc", "x", "nodata", "p"), vx::VXException);
}

TEST_F(SearchTest, AlgorithmPicksTheLatestInstalled) {
    struct Case {
        const char* registry;
        const char* chosen; // null: "No installed applications detected"
    };
    const Case cases[] = {
        {"[[older]]\ninstalled = 2008-01-02\n[[toolbar]]\ninstalled = 2008-01-10\n", "toolbar"},
        {"[[toolbar]]\ninstalled = 2008-01-10\n[[older]]\ninstalled = 2008-01-02\n", "toolbar"},
        {"[[older]]\ninstalled = 2008-01-10\n[[toolbar]]\ninstalled = 2008-01-10\n", "older"},
        {"[[toolbar]]\ninstalled = 2008\n[[older]]\ninstalled = 2008-01\n",
         "older"}, // prefix is smaller
        {"[[older]]\ninstalled =\n", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registry);
        write("config/desktopconfig.cfg", std::string("[appregistry]\n") + c.registry);
        files_.reset();
        if (c.chosen == nullptr) {
            try {
                provider::Algorithm(files()).choose();
                ADD_FAILURE() << "chose something";
            } catch (const vx::VXException& error) {
                EXPECT_EQ(error.message(), "No installed applications detected");
            }
        } else {
            EXPECT_EQ(provider::Algorithm(files()).choose()->app(), c.chosen);
        }
    }
    // An application without "installed" fails the choice.
    write("config/desktopconfig.cfg", "[appregistry]\n[[older]]\n");
    files_.reset();
    EXPECT_THROW(provider::Algorithm(files()).choose(), vx::VXException);
}

TEST_F(SearchTest, CohortIsDecidedOnceSavedAndReadBack) {
    struct Case {
        const char* initial;
        const char* from;
        const char* sc;
        bool saved;
    };
    const Case cases[] = {
        {"initialprovider = MSN\n", "ie", "1", true},
        {"initialprovider = Other\n", "ie", "2", true},
        {"", "ie", "2", true},
        {"initialprovider = MSN\n", "toolbar", "", false},
        {"initialprovider = MSN\n[[MSN]]\n[[[searchcohort]]]\ntoolbar = 7\n", "toolbar", "7",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.initial) + " from=" + c.from);
        const std::string desktop = std::string("[search]\n") + c.initial;
        write("config/desktopconfig.cfg", desktop);
        files_.reset();
        provider::MSNProvider msn("toolbar", "MSN", files());
        Parameters parameters{{"from", c.from}};
        msn.addParameters("q", parameters);
        EXPECT_EQ(parameters.count("sc") ? parameters["sc"] : "", c.sc);
        EXPECT_EQ(parameters["csp"], "MSN");
        if (c.saved) {
            EXPECT_EQ(read("config/desktopconfig.cfg"),
                      desktop +
                          (desktop.find("[[MSN]]") == std::string::npos
                               ? "[[MSN]]\n[[[searchcohort]]]\n"
                               : "") +
                          "ie = " + c.sc + "\n");
            // Read back, not decided again: even when the deciding value changes.
            write("config/desktopconfig.cfg", read("config/desktopconfig.cfg") + "[x]\n");
            files_.reset();
            Parameters again{{"from", "ie"}};
            provider::MSNProvider("toolbar", "MSN", files()).addParameters("q", again);
            EXPECT_EQ(again["sc"], c.sc);
        } else {
            EXPECT_EQ(read("config/desktopconfig.cfg"), desktop);
        }
    }
}

TEST_F(SearchTest, SettingsOverrideInTheirOrder) {
    write("older/config/appdata.cfg",
          "[search]\n[[web]]\nurl = q=%(q)s app=%(app)s a=%(a)s b=%(b)s lcid=%(lcid)s\n");
    write("older/config/appconfig.cfg", "q = from appconfig\na = 1\nb = 1\n");
    write("older/config/appuserconfig.cfg", "lcid = fr-fr\nb = 2\napp = mine\n");
    EXPECT_EQ(url("abc", "x", "older", "web"), "q=from+appconfig app=mine a=1 b=2 lcid=fr-fr");
}

TEST_F(SearchTest, MergeStopsAtTheFirstEntryThatIsNoText) {
    const auto section = ConfigParser().parse("a = 1\n[s]\n");
    section->setString("after", "x");
    Parameters parameters{{"a", "0"}};
    EXPECT_THROW(Search(files(), resolver_).mergeSettings(parameters, *section), vx::VXException);
    EXPECT_EQ(parameters, (Parameters{{"a", "1"}}));
}

TEST_F(SearchTest, DesktopIdentifierAndLanguageDefaults) {
    write("config/desktopconfig.cfg", "[appregistry]\n");
    write("older/config/appdata.cfg", "[search]\n[[web]]\nurl = %(tbid)s %(did)s %(lcid)s\n");
    EXPECT_EQ(url("abc", "x", "older", "web"),
              std::string(kDefaultDesktopId) + " " + kDefaultDesktopId + " en-us");
    EXPECT_EQ(std::string(kDefaultDesktopId).size(), 38u);
}

} // namespace
