#include "platform/host_info.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>

#include <ifaddrs.h>
#include <limits.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace tc::platform {

namespace hostinfo {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Undoes shell quoting of one assignment's right-hand side; stops at the first unquoted blank.
std::string unquote(std::string_view raw) {
    std::string out;
    enum class Mode { Plain, Double, Single } mode = Mode::Plain;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        switch (mode) {
        case Mode::Plain:
            if (c == '"')
                mode = Mode::Double;
            else if (c == '\'')
                mode = Mode::Single;
            else if (c == '\\' && i + 1 < raw.size())
                out.push_back(raw[++i]);
            else if (isBlank(c))
                return out;
            else
                out.push_back(c);
            break;
        case Mode::Double:
            if (c == '"')
                mode = Mode::Plain;
            else if (c == '\\' && i + 1 < raw.size() &&
                     std::string_view("$\"\\`").find(raw[i + 1]) != std::string_view::npos)
                out.push_back(raw[++i]);
            else
                out.push_back(c);
            break;
        case Mode::Single:
            if (c == '\'')
                mode = Mode::Plain;
            else
                out.push_back(c);
            break;
        }
    }
    return out;
}

} // namespace

std::optional<std::string> assignmentValue(std::string_view fileText, std::string_view key) {
    std::optional<std::string> found;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        std::string_view line = fileText.substr(0, end);
        fileText = end == std::string_view::npos ? std::string_view{} : fileText.substr(end + 1);

        line = trimLeft(line);
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || trimRight(line.substr(0, eq)) != key)
            continue;
        found = unquote(trimLeft(line.substr(eq + 1)));
    }
    return found;
}

std::optional<std::string> cleanText(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size(), kMaxTextBytes + 1));
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            continue;
        if (out.size() == kMaxTextBytes)
            return std::nullopt;
        out.push_back(c);
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

std::string versionString(std::string_view osReleaseText, std::string_view kernelRelease) {
    std::optional<std::string> version;
    for (std::string_view key : {"VERSION_ID", "BUILD_ID"}) {
        if (auto value = assignmentValue(osReleaseText, key))
            version = cleanText(*value);
        if (version)
            break;
    }
    const std::optional<std::string> build = cleanText(kernelRelease);
    return "Version " + version.value_or("unknown") + " (Build " + build.value_or("unknown") + ")";
}

std::optional<std::string> fullNameFromGecos(std::string_view gecos, std::string_view login) {
    const std::string_view name = trimRight(trimLeft(gecos.substr(0, gecos.find(','))));
    if (auto cleaned = cleanText(name))
        return cleaned;
    return cleanText(login);
}

} // namespace hostinfo

namespace {

// The whole file, or nullopt when it cannot be read or is larger than the cap.
std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(hostinfo::kMaxConfigFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        return std::nullopt;
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > hostinfo::kMaxConfigFileBytes)
        return std::nullopt;
    text.resize(got);
    return text;
}

struct IfAddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

std::mutex gSourceMutex;
std::shared_ptr<const HostInfoSource> gSource;

std::shared_ptr<const HostInfoSource> currentSource() {
    std::lock_guard lock(gSourceMutex);
    if (!gSource)
        gSource = std::make_shared<SystemHostInfoSource>();
    return gSource;
}

} // namespace

std::vector<std::string> SystemHostInfoSource::addresses() const {
    std::vector<std::string> out;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0)
        return out;
    std::unique_ptr<ifaddrs, IfAddrsFree> list(raw);

    for (const ifaddrs* entry = list.get(); entry != nullptr && out.size() < hostinfo::kMaxAddresses;
         entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr)
            continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        char text[NI_MAXHOST] = {};
        if (getnameinfo(entry->ifa_addr, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        std::string address(text);
        if (std::find(out.begin(), out.end(), address) == out.end())
            out.push_back(std::move(address));
    }
    return out;
}

std::optional<std::string> SystemHostInfoSource::localizedName() const {
    if (auto machineInfo = readSmallFile(paths_.machineInfo)) {
        if (auto pretty = hostinfo::assignmentValue(*machineInfo, "PRETTY_HOSTNAME")) {
            if (auto cleaned = hostinfo::cleanText(*pretty))
                return cleaned;
        }
    }
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return std::nullopt;
    return hostinfo::cleanText(name);
}

std::optional<std::string> SystemHostInfoSource::operatingSystemVersionString() const {
    std::string osRelease;
    for (const auto& path : paths_.osRelease) {
        if (auto text = readSmallFile(path)) {
            osRelease = std::move(*text);
            break;
        }
    }
    utsname system{};
    const std::string_view kernel =
        uname(&system) == 0 ? std::string_view(system.release) : std::string_view{};
    return hostinfo::versionString(osRelease, kernel);
}

std::optional<std::string> SystemHostInfoSource::fullUserName() const {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::size_t size = suggested > 0 ? static_cast<std::size_t>(suggested) : 16384;
    constexpr std::size_t kMaxBuffer = 1024 * 1024;
    for (;;) {
        std::vector<char> buffer(size);
        passwd entry{};
        passwd* result = nullptr;
        const int rc = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result);
        if (rc == ERANGE && size < kMaxBuffer) {
            size *= 2;
            continue;
        }
        if (rc != 0 || result == nullptr)
            return std::nullopt;
        return hostinfo::fullNameFromGecos(entry.pw_gecos ? entry.pw_gecos : "",
                                           entry.pw_name ? entry.pw_name : "");
    }
}

std::vector<std::string> HostInfo::addresses() {
    return currentSource()->addresses();
}
std::optional<std::string> HostInfo::localizedName() {
    return currentSource()->localizedName();
}
std::optional<std::string> HostInfo::operatingSystemVersionString() {
    return currentSource()->operatingSystemVersionString();
}
std::optional<std::string> HostInfo::fullUserName() {
    return currentSource()->fullUserName();
}

std::shared_ptr<const HostInfoSource> HostInfo::setSource(std::shared_ptr<const HostInfoSource> source) {
    std::lock_guard lock(gSourceMutex);
    auto previous = std::move(gSource);
    gSource = std::move(source);
    return previous;
}

std::shared_ptr<const HostInfoSource> HostInfo::source() {
    return currentSource();
}

} // namespace tc::platform
