#include "http/http_types.h"

#include "http/url_loader.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

namespace tc::http {

// ---- errors

Error Error::make(std::string domain, int code, std::string description) {
    Error e;
    e.domain = std::move(domain);
    e.code = code;
    e.localizedDescription = std::move(description);
    return e;
}

std::optional<Error> Error::chain(const std::optional<Error>& error, const std::optional<Error>& earlier) {
    if (!error)
        return earlier;
    if (!earlier || error->underlying)
        return error;
    Error copy = *error;
    copy.underlying = std::make_shared<const Error>(*earlier);
    return copy;
}

bool Error::hasInChain(std::string_view d, int c) const {
    for (const Error* e = this; e; e = e->underlying.get())
        if (e->domain == d && e->code == c)
            return true;
    return false;
}

std::string Error::describe() const {
    std::string s = fmt::format("{} {}: {}", domain, code, localizedDescription);
    if (!failureReason.empty())
        s += fmt::format(" ({})", failureReason);
    if (underlying)
        s += " <- " + underlying->describe();
    return s;
}

InvalidParameter::InvalidParameter(std::string_view condition)
    : std::logic_error(fmt::format("Invalid parameter not satisfying: {}", condition)) {}

// ---- header fields

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string toUpperASCII(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string toLowerASCII(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

const HeaderFields::Entry* HeaderFields::find(std::string_view name) const {
    for (const auto& e : entries_)
        if (equalsIgnoringCase(e.first, name))
            return &e;
    return nullptr;
}

std::optional<std::string> HeaderFields::value(std::string_view name) const {
    if (auto e = find(name))
        return e->second;
    return std::nullopt;
}

void HeaderFields::set(std::string_view name, std::string_view value) {
    if (auto e = find(name)) {
        const_cast<Entry*>(e)->second = std::string(value);
        return;
    }
    entries_.emplace_back(std::string(name), std::string(value));
}

void HeaderFields::add(std::string_view name, std::string_view value) {
    if (auto e = find(name)) {
        auto& v = const_cast<Entry*>(e)->second;
        v += ", ";
        v += value;
        return;
    }
    entries_.emplace_back(std::string(name), std::string(value));
}

void HeaderFields::remove(std::string_view name) {
    std::erase_if(entries_, [&](const Entry& e) { return equalsIgnoringCase(e.first, name); });
}

// ---- URLs

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Characters a URL text may not hold unescaped.
bool refusedInURL(unsigned char c) {
    return c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
           c == '{' || c == '|' || c == '}';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int hi = hexValue(s[i + 1]);
            int lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view in) {
    std::string input(in);
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../"))
            input.erase(0, 3);
        else if (input.starts_with("./"))
            input.erase(0, 2);
        else if (input.starts_with("/./"))
            input.replace(0, 3, "/");
        else if (input == "/.")
            input = "/";
        else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string("/") : input.substr(3);
            auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..")
            input.clear();
        else {
            std::size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            output += input.substr(0, next);
            input.erase(0, next == std::string::npos ? input.size() : next);
        }
    }
    return output;
}

} // namespace

std::optional<URL> URL::parse(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    for (char c : text)
        if (refusedInURL(static_cast<unsigned char>(c)))
            return std::nullopt;
    URL u;
    std::string_view rest = text;
    // Fragment and query first, so the delimiters inside them do not count.
    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        u.fragment_ = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto q = rest.find('?'); q != std::string_view::npos) {
        u.query_ = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    if (auto colon = rest.find(':'); colon != std::string_view::npos && colon > 0 &&
                                     rest.substr(0, colon).find('/') == std::string_view::npos) {
        std::string_view scheme = rest.substr(0, colon);
        if (!isAlpha(scheme[0]))
            return std::nullopt;
        for (char c : scheme)
            if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
                return std::nullopt;
        u.scheme_ = toLowerASCII(scheme);
        rest = rest.substr(colon + 1);
    }
    if (rest.starts_with("//")) {
        u.hasAuthority_ = true;
        rest = rest.substr(2);
        std::size_t end = rest.find('/');
        std::string_view authority = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
        if (auto at = authority.rfind('@'); at != std::string_view::npos) {
            u.userInfo_ = std::string(authority.substr(0, at));
            authority = authority.substr(at + 1);
        }
        std::string_view portText;
        if (authority.starts_with("[")) {
            auto close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            u.host_ = std::string(authority.substr(1, close - 1));
            u.hostIsIPv6_ = true;
            std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after[0] != ':')
                    return std::nullopt;
                portText = after.substr(1);
            }
        } else {
            auto colon = authority.rfind(':');
            if (colon != std::string_view::npos) {
                portText = authority.substr(colon + 1);
                authority = authority.substr(0, colon);
            }
            // A colon left in the host would be read as a port once written out again.
            if (authority.find_first_of("[]:") != std::string_view::npos)
                return std::nullopt;
            u.host_ = toLowerASCII(authority);
        }
        if (!portText.empty()) {
            int port = 0;
            auto [p, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
            if (ec != std::errc() || p != portText.data() + portText.size() || port < 0 || port > 65535)
                return std::nullopt;
            u.port_ = port;
        }
    }
    u.path_ = std::string(rest);
    if (u.isHTTP() && u.host_.empty())
        return std::nullopt;
    return u;
}

std::optional<URL> URL::resolve(std::string_view reference, const URL& base) {
    auto r = parse(reference);
    if (!r)
        return std::nullopt;
    if (r->isAbsolute() || !base.isAbsolute()) {
        if (r->isAbsolute())
            r->path_ = removeDotSegments(r->path_);
        return r;
    }
    URL t = *r;
    t.scheme_ = base.scheme_;
    if (r->hasAuthority_) {
        t.path_ = removeDotSegments(r->path_);
        return t;
    }
    t.hasAuthority_ = base.hasAuthority_;
    t.userInfo_ = base.userInfo_;
    t.host_ = base.host_;
    t.hostIsIPv6_ = base.hostIsIPv6_;
    t.port_ = base.port_;
    if (r->path_.empty()) {
        t.path_ = base.path_;
        if (!r->query_)
            t.query_ = base.query_;
    } else if (r->path_.starts_with("/")) {
        t.path_ = removeDotSegments(r->path_);
    } else {
        std::string merged;
        if (base.hasAuthority_ && base.path_.empty())
            merged = "/" + r->path_;
        else {
            auto slash = base.path_.rfind('/');
            merged =
                (slash == std::string::npos ? std::string() : base.path_.substr(0, slash + 1)) + r->path_;
        }
        t.path_ = removeDotSegments(merged);
    }
    return t;
}

URL URL::fileURL(std::string_view path) {
    URL u;
    u.scheme_ = "file";
    u.hasAuthority_ = true;
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (refusedInURL(c) || c == '%' || c == '?' || c == '#') {
            u.path_ += '%';
            u.path_ += hex[c >> 4];
            u.path_ += hex[c & 15];
        } else
            u.path_ += static_cast<char>(c);
    }
    return u;
}

std::string URL::absoluteString() const {
    std::string s;
    if (!scheme_.empty())
        s = scheme_ + ":";
    if (hasAuthority_) {
        s += "//";
        if (!userInfo_.empty())
            s += userInfo_ + "@";
        s += hostIsIPv6_ ? "[" + host_ + "]" : host_;
        if (port_)
            s += ":" + std::to_string(*port_);
    }
    s += path_;
    if (query_)
        s += "?" + *query_;
    if (fragment_)
        s += "#" + *fragment_;
    return s;
}

std::string URL::filePath() const {
    return percentDecode(path_);
}

std::string URL::lastPathComponent() const {
    std::string p = percentDecode(path_);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto slash = p.rfind('/');
    return slash == std::string::npos || p.size() == 1 ? p : p.substr(slash + 1);
}

std::string URL::pathExtension() const {
    std::string last = lastPathComponent();
    auto dot = last.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : last.substr(dot + 1);
}

URL URL::withPath(std::string path) const {
    URL u = *this;
    u.path_ = std::move(path);
    return u;
}

// ---- responses

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The value of parameter `name` in a header value such as `text/html; charset="utf-8"`.
std::optional<std::string> headerParameter(std::string_view value, std::string_view name) {
    std::size_t pos = value.find(';');
    while (pos != std::string_view::npos) {
        std::string_view rest = value.substr(pos + 1);
        std::size_t next = rest.find(';');
        std::string_view item = trim(rest.substr(0, next));
        auto eq = item.find('=');
        if (eq != std::string_view::npos && equalsIgnoringCase(trim(item.substr(0, eq)), name)) {
            std::string_view v = trim(item.substr(eq + 1));
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
        pos = next == std::string_view::npos ? next : pos + 1 + next;
    }
    return std::nullopt;
}

} // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, HeaderFields headers)
    : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {
    if (auto ct = headers_.lookup("Content-Type")) {
        std::string_view v = *ct;
        mimeType_ = toLowerASCII(trim(v.substr(0, v.find(';'))));
        textEncodingName_ = headerParameter(v, "charset").value_or("");
    }
    if (auto cl = headers_.lookup("Content-Length")) {
        std::string_view v = trim(*cl);
        std::int64_t n = -1;
        auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec == std::errc() && p == v.data() + v.size() && n >= 0)
            expectedContentLength_ = n;
    }
}

std::string HTTPURLResponse::suggestedFilename() const {
    if (auto cd = headers_.value("Content-Disposition"))
        if (auto name = headerParameter(*cd, "filename"); name && !name->empty())
            return safeFileName(*name);
    std::string last = url_.lastPathComponent();
    if (!last.empty() && last != "/")
        return safeFileName(last);
    return "Unknown";
}

std::string safeFileName(std::string_view name) {
    auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name = name.substr(slash + 1);
    std::string out;
    for (unsigned char c : name)
        if (c >= 0x20 && c != 0x7f)
            out += static_cast<char>(c);
    while (!out.empty() && (out.front() == '.' || out.front() == ' '))
        out.erase(0, 1);
    if (out.size() > 255)
        out.resize(255);
    return out.empty() ? std::string("Unknown") : out;
}

std::string HTTPURLResponse::localizedStringForStatusCode(int code) {
    static const std::map<int, const char*> texts = {
        {100, "continue"},
        {101, "switching protocols"},
        {200, "no error"},
        {201, "created"},
        {202, "accepted"},
        {203, "non-authoritative information"},
        {204, "no content"},
        {205, "reset content"},
        {206, "partial content"},
        {300, "multiple choices"},
        {301, "moved permanently"},
        {302, "found"},
        {303, "see other"},
        {304, "not modified"},
        {305, "use proxy"},
        {307, "temporary redirect"},
        {308, "permanent redirect"},
        {400, "bad request"},
        {401, "unauthorized"},
        {402, "payment required"},
        {403, "forbidden"},
        {404, "not found"},
        {405, "method not allowed"},
        {406, "unacceptable"},
        {407, "proxy authentication required"},
        {408, "request timed out"},
        {409, "conflict"},
        {410, "no longer exists"},
        {411, "length required"},
        {412, "precondition failed"},
        {413, "request too large"},
        {414, "requested URL too long"},
        {415, "unsupported media type"},
        {416, "requested range not satisfiable"},
        {417, "expectation failed"},
        {429, "too many requests"},
        {500, "internal server error"},
        {501, "unimplemented"},
        {502, "bad gateway"},
        {503, "service unavailable"},
        {504, "gateway timed out"},
        {505, "unsupported version"},
    };
    if (auto it = texts.find(code); it != texts.end())
        return it->second;
    if (code >= 100 && code < 200)
        return "informational";
    if (code >= 200 && code < 300)
        return "success";
    if (code >= 300 && code < 400)
        return "redirected";
    if (code >= 400 && code < 500)
        return "client error";
    if (code >= 500 && code < 600)
        return "server error";
    return "server error";
}

// ---- queues and groups

DispatchQueue DispatchQueue::global() {
    DispatchQueue q;
    q.kind_ = Kind::Global;
    return q;
}

DispatchQueue DispatchQueue::serial(std::shared_ptr<platform::SerialQueue> queue) {
    DispatchQueue q;
    q.kind_ = queue ? Kind::Serial : Kind::Main;
    q.serial_ = std::move(queue);
    return q;
}

DispatchQueue DispatchQueue::network() {
    DispatchQueue q;
    q.kind_ = Kind::Network;
    return q;
}

void DispatchQueue::async(platform::Task work) const {
    switch (kind_) {
    case Kind::Network:
        NetworkThread::post(std::move(work));
        break;
    case Kind::Main:
        platform::MainQueue::async(std::move(work));
        break;
    case Kind::Global:
        platform::GlobalQueue::async(std::move(work));
        break;
    case Kind::Serial:
        serial_->async(std::move(work));
        break;
    }
}

void DispatchGroup::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    std::vector<std::pair<DispatchQueue, platform::Task>> due;
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0)
            --count_;
        if (count_ == 0) {
            due.swap(waiting_);
            cv_.notify_all();
        }
    }
    for (auto& [queue, work] : due)
        queue.async(std::move(work));
}

void DispatchGroup::wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return count_ == 0; });
}

bool DispatchGroup::waitFor(std::chrono::steady_clock::duration timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return count_ == 0; });
}

void DispatchGroup::notify(DispatchQueue queue, platform::Task work) {
    {
        std::lock_guard lock(mutex_);
        if (count_ != 0) {
            waiting_.emplace_back(std::move(queue), std::move(work));
            return;
        }
    }
    queue.async(std::move(work));
}

void asyncInGroup(const std::shared_ptr<DispatchGroup>& group, const DispatchQueue& queue,
                  platform::Task work) {
    if (group)
        group->enter();
    queue.async([group, work = std::move(work)]() mutable {
        struct Leave {
            DispatchGroup* g;
            ~Leave() {
                if (g)
                    g->leave();
            }
        } leave{group.get()};
        work();
    });
}

} // namespace tc::http
