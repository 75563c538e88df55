#include "platform/bundle.h"
#include "wire/login_inputdata.h"

#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace tc;

namespace fs = std::filesystem;
using platform::PlistValue;

// A resource bundle of the test's own, made of property lists written here.
class LoginBundle : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& body) {
        resources.write(name + ".plist",
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body +
                            "</plist>\n");
    }

    // Sections of LoginPropertyList, each given as the inside of a <dict>.
    void writeLogin(const std::string& general, const std::string& live, const std::string& simulation) {
        write("LoginPropertyList",
              "<dict><key>General</key><dict>" + general + "</dict><key>LiveMode</key><dict>" + live +
                  "</dict><key>SimulationMode</key><dict>" + simulation + "</dict></dict>");
    }

    testing_support::ScopedResources resources;
};

TEST_F(LoginBundle, ConstructionLoadsTheProductValues) {
    writeLogin("<key>ProductName</key><string>Acme FX</string>"
               "<key>SecurityKey</key><string>k3y</string>"
               "<key>LiveAccountRegistrationURL</key><string>https://example.invalid/r</string>"
               "<key>LiveModeAvailable</key><string>YES</string>"
               "<key>DepositAmountListType</key><string>Cards</string>"
               "<key>Show account currency</key><integer>1</integer>"
               "<key>Product localization list</key><string>Acme</string>"
               "<key>Financial request rule</key><string>Strict</string>"
               "<key>BaseCurrencyAvailable</key><false/>",
               "<key>IPAddress</key><string>10.1.2.3</string>", "");
    write("FinancialRequestRules",
          "<dict><key>Default</key><dict><key>Can specify bank details</key><false/></dict>"
          "<key>Strict</key><dict><key>Can specify bank details</key><true/>"
          "<key>Can withdraw floatingPL</key><string>0</string>"
          "<key>Minimum balance</key><real>250.5</real></dict></dict>");
    write("ProductLocalization", "<dict><key>Default</key><dict><key>0004</key><string>0005</string></dict>"
                                 "<key>Acme</key><dict><key>10980</key><string>20980</string>"
                                 "<key>0007</key><integer>8</integer></dict></dict>");

    LoginInputData data;
    EXPECT_EQ(data.productName(), "Acme FX");
    EXPECT_EQ(data.productVersion(), platform::Bundle::shortVersionString());
    EXPECT_EQ(data.SecurityKey(), "k3y");
    EXPECT_EQ(data.liveAccountRegistrationURL(), "https://example.invalid/r");
    EXPECT_TRUE(data.isLiveModeAvailable());
    EXPECT_EQ(data.depositAmountListType(), "Cards");
    EXPECT_TRUE(data.showAccountCurrency());
    EXPECT_FALSE(data.baseCurrencyAvailable());
    // The rule named in "General", not the default one.
    EXPECT_TRUE(data.canSpecifyBankDetails());
    EXPECT_FALSE(data.canWithdrawFloatingPL());
    EXPECT_EQ(data.minimumBalance(), 250.5);
    EXPECT_EQ(*data.productLocalizationList(),
              (LoginInputData::LocalizationList{{"10980", "20980"}, {"0007", "8"}}));
    // Set at login, not by construction.
    EXPECT_FALSE(data.IPAddress());
    EXPECT_EQ(data.PortNo(), 0);
    EXPECT_FALSE(data.userName());
    EXPECT_FALSE(data.password());
}

TEST_F(LoginBundle, MissingValuesGiveNothingFalseAndZero) {
    writeLogin("<key>ProductName</key><dict/>", "", "");
    LoginInputData data;
    EXPECT_FALSE(data.productName()); // present but not a text
    EXPECT_FALSE(data.SecurityKey());
    EXPECT_FALSE(data.liveAccountRegistrationURL());
    EXPECT_FALSE(data.isLiveModeAvailable());
    EXPECT_FALSE(data.depositAmountListType());
    EXPECT_FALSE(data.canSpecifyBankDetails());
    EXPECT_FALSE(data.canWithdrawFloatingPL());
    EXPECT_FALSE(data.minimumBalance());
    EXPECT_FALSE(data.showAccountCurrency());
    EXPECT_FALSE(data.baseCurrencyAvailable());
    // No "Product localization list": an empty map, never a null one.
    ASSERT_NE(data.productLocalizationList(), nullptr);
    EXPECT_TRUE(data.productLocalizationList()->empty());
    data.loadLiveSettings();
    EXPECT_FALSE(data.IPAddress());
    EXPECT_EQ(data.PortNo(), 0);
}

TEST_F(LoginBundle, NoPropertyListsAtAll) {
    LoginInputData data;
    EXPECT_FALSE(data.productName());
    EXPECT_EQ(data.productVersion(), platform::Bundle::shortVersionString());
    ASSERT_NE(data.productLocalizationList(), nullptr);
    EXPECT_TRUE(data.productLocalizationList()->empty());
    EXPECT_FALSE(data.getLoginValueForMode("General", "ProductName"));
    EXPECT_FALSE(data.getFinancialRequestRuleForKey("Default"));
    EXPECT_FALSE(data.getProductLocalizationListForKey("Default"));
    data.loadDemoSettings();
    EXPECT_FALSE(data.IPAddress());
}

TEST_F(LoginBundle, LiveAndDemoServersWithThePortAsTextOrNumber) {
    writeLogin(
        "", "<key>IPAddress</key><string>live.example.invalid</string><key>PortNo</key><string>5000</string>",
        "<key>IPAddress</key><string>127.0.0.1</string><key>PortNo</key><integer>5000</integer>");
    LoginInputData data;
    data.loadLiveSettings();
    EXPECT_EQ(data.IPAddress(), "live.example.invalid");
    EXPECT_EQ(data.PortNo(), 5000);
    data.loadDemoSettings();
    EXPECT_EQ(data.IPAddress(), "127.0.0.1");
    EXPECT_EQ(data.PortNo(), 5000);

    // Other spellings: a real is truncated, text with trailing junk gives its leading number, a port
    // beyond 32 bits saturates rather than wrapping.
    writeLogin("", "<key>PortNo</key><real>5100.9</real>", "<key>PortNo</key><string> 6000 tcp</string>");
    data.loadLiveSettings();
    EXPECT_EQ(data.PortNo(), 5100);
    data.loadDemoSettings();
    EXPECT_EQ(data.PortNo(), 6000);
    writeLogin("", "<key>PortNo</key><integer>4294972296</integer>",
               "<key>PortNo</key><string>none</string>");
    data.loadLiveSettings();
    EXPECT_EQ(data.PortNo(), 2147483647);
    data.loadDemoSettings();
    EXPECT_EQ(data.PortNo(), 0);
}

TEST_F(LoginBundle, LookupsReadTheFilesAfreshAndWantDictionaries) {
    write("LoginPropertyList",
          "<dict><key>General</key><string>not a section</string>"
          "<key>LiveMode</key><dict><key>IPAddress</key><string>a.example.invalid</string></dict>"
          "</dict>");
    write("FinancialRequestRules", "<dict><key>Odd</key><array/></dict>");
    write("ProductLocalization", "<dict><key>Odd</key><string>x</string></dict>");
    LoginInputData data;
    EXPECT_FALSE(data.getLoginValueForMode("General", "ProductName"));
    EXPECT_FALSE(data.getLoginValueForMode("LiveMode", "PortNo"));
    EXPECT_FALSE(data.getLoginValueForMode("Missing", "IPAddress"));
    EXPECT_EQ(data.getLoginValueForMode("LiveMode", "IPAddress"), PlistValue("a.example.invalid"));
    EXPECT_FALSE(data.getFinancialRequestRuleForKey("Odd"));
    EXPECT_FALSE(data.getProductLocalizationListForKey("Odd"));
    EXPECT_FALSE(data.getProductLocalizationListForKey("Missing"));

    // Nothing is cached: a changed file is seen by the next lookup.
    write("LoginPropertyList",
          "<dict><key>LiveMode</key><dict><key>IPAddress</key><string>b.example.invalid</string>"
          "</dict></dict>");
    EXPECT_EQ(data.getLoginValueForMode("LiveMode", "IPAddress"), PlistValue("b.example.invalid"));
    // A broken file reads as missing.
    write("LoginPropertyList", "<dict><key>LiveMode</key>");
    EXPECT_FALSE(data.getLoginValueForMode("LiveMode", "IPAddress"));
}

TEST_F(LoginBundle, TheSessionKeyLeavesTheConfiguredKeyAlone) {
    writeLogin("<key>SecurityKey</key><string>k3y</string>", "", "");
    LoginInputData data;
    EXPECT_EQ(data.SecurityKey(), "k3y");
    data.setSecurityKey("session-key==");
    auto before = data.productLocalizationList();
    data.setProductLocalizationList({{"a", "b"}});
    EXPECT_EQ(data.SecurityKey(), "session-key==");
    // The session key never replaces the configured one that initial requests use.
    EXPECT_EQ(data.configuredSecurityKey(), "k3y");
    // A reader holding the old map keeps it unchanged.
    EXPECT_TRUE(before->empty());
    EXPECT_EQ(data.productLocalizationList()->at("a"), "b");
}

TEST(LoginResources, ShippedPropertyListsHaveTheKeys) {
    platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
    for (const char* name : {"LoginPropertyList", "FinancialRequestRules", "ProductLocalization"}) {
        auto path = platform::Bundle::pathForResource(name, "plist");
        ASSERT_TRUE(path) << name;
        auto r = platform::PropertyList::readFile(*path);
        ASSERT_TRUE(r) << r.error();
        EXPECT_TRUE(r.value().isDictionary()) << name;
    }
    LoginInputData data;
    EXPECT_EQ(data.productName(), "Tradeclient");
    ASSERT_TRUE(data.SecurityKey());
    EXPECT_EQ(data.SecurityKey()->size(), 32u);
    EXPECT_EQ(data.liveAccountRegistrationURL(), "https://example.invalid/register");
    EXPECT_TRUE(data.isLiveModeAvailable());
    EXPECT_TRUE(data.depositAmountListType());
    EXPECT_TRUE(data.showAccountCurrency());
    EXPECT_TRUE(data.baseCurrencyAvailable());
    EXPECT_TRUE(data.minimumBalance());
    EXPECT_TRUE(data.getFinancialRequestRuleForKey("Default"));
    EXPECT_TRUE(data.getProductLocalizationListForKey("Default"));
    data.loadLiveSettings();
    EXPECT_EQ(data.IPAddress(), "live.example.invalid");
    EXPECT_EQ(data.PortNo(), 5100);
    data.loadDemoSettings();
    EXPECT_EQ(data.IPAddress(), "127.0.0.1");
    EXPECT_EQ(data.PortNo(), 5100);
    platform::Bundle::setResourcesRoot({});
}

} // namespace
