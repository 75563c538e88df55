#include "platform/host_info.h"

#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <set>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

using namespace tc;
namespace hostinfo = platform::hostinfo;

using testing_support::TempDir;

std::string kernelRelease() {
    utsname system{};
    return uname(&system) == 0 ? system.release : "";
}

std::optional<std::string> hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return std::nullopt;
    return std::string(name);
}

TEST(HostInfoParsing, AssignmentValuesFollowShellQuoting) {
    const std::string text = "# comment PRETTY_HOSTNAME=no\n"
                             "NAME=\"Debian GNU/Linux\"\n"
                             "  VERSION_ID=\"12\"\r\n"
                             "ID=debian\n"
                             "PRETTY_HOSTNAME_EXTRA=wrong\n"
                             "QUOTED=\"a \\\"b\\\" \\\\ \\$x \\n\"\n"
                             "SINGLE='it''s \\ raw'\n"
                             "PLAIN=one\\ two three\n"
                             "EMPTY=\n"
                             "TWICE=first\n"
                             "TWICE=second\n"
                             "NOEQUALS\n";
    EXPECT_EQ(hostinfo::assignmentValue(text, "NAME"), "Debian GNU/Linux");
    EXPECT_EQ(hostinfo::assignmentValue(text, "VERSION_ID"), "12");
    EXPECT_EQ(hostinfo::assignmentValue(text, "ID"), "debian");
    // In double quotes only $ " \ ` are escapable; other backslashes stay.
    EXPECT_EQ(hostinfo::assignmentValue(text, "QUOTED"), "a \"b\" \\ $x \\n");
    EXPECT_EQ(hostinfo::assignmentValue(text, "SINGLE"), "its \\ raw");
    EXPECT_EQ(hostinfo::assignmentValue(text, "PLAIN"), "one two");
    EXPECT_EQ(hostinfo::assignmentValue(text, "EMPTY"), "");
    EXPECT_EQ(hostinfo::assignmentValue(text, "TWICE"), "second");
    EXPECT_EQ(hostinfo::assignmentValue(text, "PRETTY_HOSTNAME"), std::nullopt);
    EXPECT_EQ(hostinfo::assignmentValue(text, "NOEQUALS"), std::nullopt);
    EXPECT_EQ(hostinfo::assignmentValue("", "ID"), std::nullopt);
    // An unterminated quote takes the rest of the line rather than failing.
    EXPECT_EQ(hostinfo::assignmentValue("X=\"open", "X"), "open");
}

TEST(HostInfoParsing, CleanTextDropsControlsAndRefusesOversize) {
    EXPECT_EQ(hostinfo::cleanText("Jane\x01's\x02 Mac\x7f"), "Jane's Mac");
    EXPECT_EQ(hostinfo::cleanText("Zoë's Rechner"), "Zoë's Rechner");
    EXPECT_EQ(hostinfo::cleanText(""), std::nullopt);
    EXPECT_EQ(hostinfo::cleanText("\t\n"), std::nullopt);
    const std::string longest(hostinfo::kMaxTextBytes, 'x');
    EXPECT_EQ(hostinfo::cleanText(longest), longest);
    EXPECT_EQ(hostinfo::cleanText(std::string(hostinfo::kMaxTextBytes + 1, 'x')), std::nullopt);
    // Control characters do not count towards the cap.
    EXPECT_TRUE(hostinfo::cleanText(std::string(hostinfo::kMaxTextBytes, 'x') + "\n"));
}

TEST(HostInfoParsing, VersionStringForm) {
    const std::string debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nVERSION_ID=\"12\"\n"
                               "VERSION=\"12 (bookworm)\"\nBUILD_ID=ignored\n";
    EXPECT_EQ(hostinfo::versionString(debian, "6.1.0-18-amd64"), "Version 12 (Build 6.1.0-18-amd64)");
    EXPECT_EQ(hostinfo::versionString("ID=arch\nBUILD_ID=rolling\n", "6.7.4-arch1-1"),
              "Version rolling (Build 6.7.4-arch1-1)");
    EXPECT_EQ(hostinfo::versionString("ID=x\nVERSION_ID=\"\"\nBUILD_ID=20240101\n", "6.1"),
              "Version 20240101 (Build 6.1)");
    EXPECT_EQ(hostinfo::versionString("", "6.1"), "Version unknown (Build 6.1)");
    EXPECT_EQ(hostinfo::versionString("VERSION_ID=\"1\x01"
                                      "2\"",
                                      ""),
              "Version 12 (Build unknown)");
}

TEST(HostInfoParsing, FullNameFromGecos) {
    EXPECT_EQ(hostinfo::fullNameFromGecos("Jane Doe,Room 4,555-0100,,", "jdoe"), "Jane Doe");
    EXPECT_EQ(hostinfo::fullNameFromGecos("  Jane Doe  ", "jdoe"), "Jane Doe");
    EXPECT_EQ(hostinfo::fullNameFromGecos(",,,", "jdoe"), "jdoe");
    EXPECT_EQ(hostinfo::fullNameFromGecos("", "jdoe"), "jdoe");
    EXPECT_EQ(hostinfo::fullNameFromGecos("", ""), std::nullopt);
}

TEST(SystemHostInfoSource, ComputerNamePrefersPrettyHostname) {
    TempDir dir;
    platform::SystemHostInfoSource::Paths paths;
    paths.machineInfo = dir.write("machine-info", "CHASSIS=laptop\nPRETTY_HOSTNAME=\"Jane's Laptop\"\n");
    EXPECT_EQ(platform::SystemHostInfoSource(paths).localizedName(), "Jane's Laptop");

    // Missing, unset, empty, or oversized machine-info: the kernel host name stands in.
    const auto expected = hostName();
    paths.machineInfo = dir.path() / "absent";
    EXPECT_EQ(platform::SystemHostInfoSource(paths).localizedName(), expected);
    paths.machineInfo = dir.write("unset", "CHASSIS=laptop\n");
    EXPECT_EQ(platform::SystemHostInfoSource(paths).localizedName(), expected);
    paths.machineInfo = dir.write("empty", "PRETTY_HOSTNAME=\"\"\n");
    EXPECT_EQ(platform::SystemHostInfoSource(paths).localizedName(), expected);
    paths.machineInfo =
        dir.write("huge", "PRETTY_HOSTNAME=Big\n" + std::string(hostinfo::kMaxConfigFileBytes, '#'));
    EXPECT_EQ(platform::SystemHostInfoSource(paths).localizedName(), expected);
}

TEST(SystemHostInfoSource, VersionReadsTheFirstReadableOsRelease) {
    TempDir dir;
    platform::SystemHostInfoSource::Paths paths;
    paths.osRelease = {dir.path() / "absent", dir.write("os-release", "VERSION_ID=\"11\"\n"),
                       dir.write("other", "VERSION_ID=99\n")};
    const std::string build = kernelRelease().empty() ? "unknown" : kernelRelease();
    EXPECT_EQ(platform::SystemHostInfoSource(paths).operatingSystemVersionString(),
              "Version 11 (Build " + build + ")");

    paths.osRelease = {dir.path() / "absent"};
    EXPECT_EQ(platform::SystemHostInfoSource(paths).operatingSystemVersionString(),
              "Version unknown (Build " + build + ")");
}

TEST(SystemHostInfoSource, AddressesAreDistinctNumericTexts) {
    const auto addresses = platform::SystemHostInfoSource().addresses();
    std::set<std::string> seen;
    for (const std::string& address : addresses) {
        SCOPED_TRACE(address);
        EXPECT_TRUE(seen.insert(address).second);
        const std::string bare = address.substr(0, address.find('%'));
        unsigned char buffer[16];
        EXPECT_TRUE(inet_pton(AF_INET, bare.c_str(), buffer) == 1 ||
                    inet_pton(AF_INET6, bare.c_str(), buffer) == 1);
    }
    EXPECT_LE(addresses.size(), hostinfo::kMaxAddresses);
}

} // namespace
