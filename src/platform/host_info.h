#pragma once
// Facts about the machine and the signed-in user: the host's addresses, the computer name, the
// operating-system version text and the account's full name.
//
// Answers come from a HostInfoSource. The process uses SystemHostInfoSource (Linux) unless a test
// installs a source of its own through HostInfo::setSource.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc::platform {

class HostInfoSource {
public:
    virtual ~HostInfoSource() = default;
    // Addresses in numeric text form, in the source's own order. Empty when none can be read.
    virtual std::vector<std::string> addresses() const = 0;
    // The computer name the user chose; nullopt when there is none.
    virtual std::optional<std::string> localizedName() const = 0;
    // "Version X (Build Y)"; nullopt when the system cannot say.
    virtual std::optional<std::string> operatingSystemVersionString() const = 0;
    // The signed-in account's full name, else its login name; nullopt when the account is unknown.
    virtual std::optional<std::string> fullUserName() const = 0;
};

// Linux facts:
// - addresses: every IPv4 and IPv6 address of every interface, in the order getifaddrs reports them
//   (glibc lists all IPv4 addresses before all IPv6 ones, each family in interface order, so the
//   loopback 127.0.0.1 normally comes first and the first outward IPv4 address second). Text is
//   getnameinfo's numeric form, which carries the zone of link-local IPv6 addresses ("fe80::1%eth0").
//   Repeated addresses are listed once; at most kMaxAddresses are kept.
// - localizedName: PRETTY_HOSTNAME of machine-info when set, else the kernel host name.
// - operatingSystemVersionString: "Version <VERSION_ID> (Build <kernel release>)" from os-release and
//   uname, e.g. "Version 12 (Build 6.1.0-18-amd64)". Without VERSION_ID the os-release BUILD_ID stands in
//   (rolling distributions), and "unknown" without either.
// - fullUserName: the first comma-separated part of the account's GECOS field, else the login name.
// Every text answer loses its control characters (they would break the framing of the messages these
// facts travel in) and is refused past kMaxTextBytes, falling back as if the fact were absent.
class SystemHostInfoSource final : public HostInfoSource {
public:
    struct Paths {
        std::filesystem::path machineInfo = "/etc/machine-info";
        // The first file that can be read wins.
        std::vector<std::filesystem::path> osRelease = {"/etc/os-release", "/usr/lib/os-release"};
    };

    SystemHostInfoSource() = default;
    explicit SystemHostInfoSource(Paths paths) : paths_(std::move(paths)) {}

    std::vector<std::string> addresses() const override;
    std::optional<std::string> localizedName() const override;
    std::optional<std::string> operatingSystemVersionString() const override;
    std::optional<std::string> fullUserName() const override;

private:
    Paths paths_;
};

class HostInfo {
public:
    static std::vector<std::string> addresses();
    static std::optional<std::string> localizedName();
    static std::optional<std::string> operatingSystemVersionString();
    static std::optional<std::string> fullUserName();

    // Installs a source for the whole process and returns the one it replaces; nullptr restores the
    // system source. Safe against concurrent queries.
    static std::shared_ptr<const HostInfoSource> setSource(std::shared_ptr<const HostInfoSource> source);
    static std::shared_ptr<const HostInfoSource> source();
};

namespace hostinfo {

inline constexpr std::size_t kMaxConfigFileBytes = 64 * 1024;
inline constexpr std::size_t kMaxTextBytes = 255;
inline constexpr std::size_t kMaxAddresses = 256;

// The value of KEY in a shell-style assignment file (os-release, machine-info): the last assignment
// wins, double and single quotes and backslash escapes are undone, "#" lines are comments.
std::optional<std::string> assignmentValue(std::string_view fileText, std::string_view key);

// Drops control characters; nullopt when the result is empty or longer than kMaxTextBytes.
std::optional<std::string> cleanText(std::string_view text);

// "Version X (Build Y)" from the os-release text (may be empty) and the kernel release.
std::string versionString(std::string_view osReleaseText, std::string_view kernelRelease);

// The first comma-separated part of a GECOS field when it holds a name, else the login name.
std::optional<std::string> fullNameFromGecos(std::string_view gecos, std::string_view login);

} // namespace hostinfo

} // namespace tc::platform
