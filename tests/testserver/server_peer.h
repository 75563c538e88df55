#pragma once
// The client's side of the wire written straight on OpenSSL, zlib and POSIX sockets, so the server's
// tests do not lean on the project's own codec: a fault there cannot hide on both ends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>
#include <zmq.h>

#include "support/wire_text.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace peer {

// UTF-16 units of a UTF-8 text: one per character, two for those beyond U+FFFF.
inline std::size_t utf16Units(std::string_view s) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

// The pieces of a text cut at `separator`, empty ones kept.
inline std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const auto cut = text.find(separator, start);
        out.emplace_back(text.substr(start, cut - start));
        if (cut == std::string_view::npos)
            return out;
        start = cut + 1;
    }
}

// The key shipped in the login property list, read from the file itself.
inline std::string shippedProductKey() {
    std::ifstream in(std::string(TC_TEST_RESOURCES) + "/LoginPropertyList.plist");
    std::stringstream text;
    text << in.rdbuf();
    std::smatch m;
    const std::string s = text.str();
    if (!std::regex_search(s, m, std::regex("<key>SecurityKey</key>\\s*<string>([^<]*)</string>")))
        return {};
    return m[1];
}

// A ZeroMQ peer on the raw library.
class Zmq {
public:
    Zmq(int type, int port) : context_(zmq_ctx_new()), socket_(zmq_socket(context_, type)) {
        int zero = 0;
        zmq_setsockopt(socket_, ZMQ_LINGER, &zero, sizeof zero);
        const std::string endpoint = "tcp://127.0.0.1:" + std::to_string(port);
        zmq_connect(socket_, endpoint.c_str());
    }
    ~Zmq() {
        zmq_close(socket_);
        zmq_ctx_term(context_);
    }
    Zmq(const Zmq&) = delete;
    Zmq& operator=(const Zmq&) = delete;
    void subscribe(std::string_view topic) {
        zmq_setsockopt(socket_, ZMQ_SUBSCRIBE, topic.data(), topic.size());
    }
    bool send(std::string_view data) {
        return zmq_send(socket_, data.data(), data.size(), 0) == static_cast<int>(data.size());
    }
    std::optional<std::string> receive(std::chrono::milliseconds timeout) {
        zmq_pollitem_t item{socket_, 0, ZMQ_POLLIN, 0};
        if (zmq_poll(&item, 1, static_cast<long>(timeout.count())) <= 0)
            return std::nullopt;
        zmq_msg_t msg;
        zmq_msg_init(&msg);
        std::optional<std::string> out;
        if (zmq_msg_recv(&msg, socket_, 0) >= 0)
            out = std::string(static_cast<const char*>(zmq_msg_data(&msg)), zmq_msg_size(&msg));
        zmq_msg_close(&msg);
        return out;
    }

private:
    void* context_;
    void* socket_;
};

inline std::string frame(std::string_view body) {
    return "\x01" + std::to_string(utf16Units(body)) + "\x03" + std::string(body) + "\x02";
}

using Fields = std::vector<std::pair<int, std::string>>;

// The fields of "tag=value|tag=value", the values read by the tests' wire tags (<C>, <R>, <S>).
inline Fields fields(std::string_view text) {
    Fields out;
    while (!text.empty()) {
        const std::size_t bar = text.find('|');
        const std::string_view field = text.substr(0, bar);
        const std::size_t eq = field.find('=');
        out.emplace_back(std::stoi(std::string(field.substr(0, eq))),
                         tc::testing_support::wireText(field.substr(eq + 1)));
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
    return out;
}

inline std::string body(const Fields& fields) {
    std::string b;
    for (const auto& [tag, value] : fields)
        b += std::to_string(tag) + "=" + value + "\x03";
    return b;
}

inline std::string base64(const std::vector<std::uint8_t>& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                                  static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

inline std::optional<std::vector<std::uint8_t>> unbase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> out(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0)
        return std::nullopt;
    std::size_t pad = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        ++pad;
    out.resize(static_cast<std::size_t>(n) - pad);
    return out;
}

// AES-256-CBC with PKCS#7; key and IV by PBKDF2-HMAC-SHA1 over the key text, 1000 rounds, salt bytes
// 0, 1, 2, ... one longer than the key text. The IV is the first 16 bytes of the same derivation.
using Material = std::vector<unsigned char>;

inline Material derive(std::string_view key) {
    std::vector<unsigned char> salt(key.size() + 1);
    for (std::size_t i = 0; i < salt.size(); ++i)
        salt[i] = static_cast<unsigned char>(i & 0xFF);
    Material material(32);
    if (PKCS5_PBKDF2_HMAC_SHA1(key.data(), static_cast<int>(key.size()), salt.data(),
                               static_cast<int>(salt.size()), 1000, static_cast<int>(material.size()),
                               material.data()) != 1)
        return {};
    return material;
}

inline std::optional<std::vector<std::uint8_t>> aes(const Material& material,
                                                    const std::vector<std::uint8_t>& data, bool encrypt) {
    if (material.size() != 32)
        return std::nullopt;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<std::uint8_t> out(data.size() + 32);
    int n1 = 0, n2 = 0;
    bool ok = EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, material.data(), material.data(),
                                encrypt ? 1 : 0) == 1 &&
              EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), static_cast<int>(data.size())) == 1 &&
              EVP_CipherFinal_ex(ctx, out.data() + n1, &n2) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

inline std::optional<std::vector<std::uint8_t>> aes(std::string_view key,
                                                    const std::vector<std::uint8_t>& data, bool encrypt) {
    return aes(derive(key), data, encrypt);
}

inline std::vector<std::uint8_t> bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

// The framed message sealed in a framed type-76 envelope.
inline std::string seal(std::string_view framed, std::string_view key, bool initial) {
    auto cipher = aes(key, bytes(framed), true);
    std::string b = "10=76\x03"
                    "27=" +
                    base64(*cipher) + "\x03";
    if (initial)
        b += "1153=2\x03"
             "1132=2\x03";
    return frame(b);
}

inline std::optional<std::string> open(std::string_view tag27, std::string_view key) {
    auto data = unbase64(tag27);
    if (!data)
        return std::nullopt;
    auto plain = aes(key, *data, false);
    if (!plain)
        return std::nullopt;
    return std::string(plain->begin(), plain->end());
}

// Base64 text -> skip 4 bytes -> inflate (zlib or gzip header).
inline std::optional<std::string> decompress(std::string_view text) {
    auto data = unbase64(text);
    if (!data || data->size() < 4)
        return std::nullopt;
    z_stream z{};
    if (inflateInit2(&z, 15 + 32) != Z_OK)
        return std::nullopt;
    z.next_in = data->data() + 4;
    z.avail_in = static_cast<uInt>(data->size() - 4);
    std::string out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        char chunk[16384];
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END)
        return std::nullopt;
    return out;
}

// The other way: a tag-1050 payload as a server sends it, 4 bytes and the zlib stream of the text.
inline std::string compressPayload(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::vector<std::uint8_t> data(4 + size, 0x5A);
    if (compress2(data.data() + 4, &size, reinterpret_cast<const Bytef*>(text.data()),
                  static_cast<uLong>(text.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    data.resize(4 + size);
    return base64(data);
}

inline std::string sessionKey(std::string_view user, std::string_view password, std::string_view reference,
                              std::string_view time) {
    std::string text = std::string(user) + std::string(password) + std::string(reference) + std::string(time);
    if (text.size() < 32)
        text.append(32 - text.size(), '-');
    unsigned char digest[SHA512_DIGEST_LENGTH];
    SHA512(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return base64({digest, digest + sizeof digest});
}

// One frame cut from the stream: the length text and the fields (tag -> value, the last wins).
struct Frame {
    std::string length;
    std::string bodyText;
    std::map<int, std::string> fields;

    int type() const { return fields.count(10) ? std::stoi(fields.at(10)) : 0; }
    std::string at(int tag) const { return fields.count(tag) ? fields.at(tag) : std::string("<missing>"); }
    // The values of the given tags, in that order.
    std::vector<std::string> at(std::initializer_list<int> tags) const {
        std::vector<std::string> out;
        for (int tag : tags)
            out.push_back(at(tag));
        return out;
    }
};

inline Frame parseFrame(std::string_view inside) {
    Frame f;
    const auto cut = inside.find('\x03');
    f.length = std::string(inside.substr(0, cut));
    f.bodyText = cut == std::string_view::npos ? "" : std::string(inside.substr(cut + 1));
    std::string_view rest = f.bodyText;
    while (!rest.empty()) {
        const auto end = rest.find('\x03');
        const std::string_view field = rest.substr(0, end);
        const auto eq = field.find('=');
        if (eq != std::string_view::npos)
            f.fields[std::stoi(std::string(field.substr(0, eq)))] = std::string(field.substr(eq + 1));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return f;
}

// Every whole frame of a text, in order.
inline std::vector<Frame> frames(std::string_view text) {
    std::vector<Frame> out;
    std::size_t pos = 0;
    while ((pos = text.find('\x01', pos)) != std::string_view::npos) {
        const auto end = text.find('\x02', pos);
        if (end == std::string_view::npos)
            break;
        out.push_back(parseFrame(text.substr(pos + 1, end - pos - 1)));
        pos = end + 1;
    }
    return out;
}

// A blocking loopback TCP client.
class StreamClient {
public:
    explicit StreamClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~StreamClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes) {
        return fd_ >= 0 &&
               ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` whole frames have come (or the time-out, or the peer closed).
    std::vector<Frame> read(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            std::vector<Frame> got = frames(buffer_);
            if (got.size() >= count) {
                buffer_.clear();
                return got;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return got;
            char chunk[65536];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                closed_ = true;
                return frames(buffer_);
            }
            raw_.append(chunk, static_cast<std::size_t>(n));
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // All bytes received so far, frames and all.
    const std::string& raw() const { return raw_; }
    bool closedByPeer() const { return closed_; }

private:
    int fd_ = -1;
    std::string buffer_;
    std::string raw_;
    bool closed_ = false;
};

// The server's side of a login, for tests that play a faulty or hostile server: the snapshot (type
// 33, AMP or XML form) and the completion (type 18), as plain frames.
inline std::string snapshotFrame(std::string_view snapshotText, bool amp = true) {
    return frame(body({{10, "33"},
                       {19, "5"},
                       {21, "20240102030405"},
                       {160, amp ? "AMP" : "XML"},
                       {1050, compressPayload(snapshotText)}}));
}

inline std::string completionFrame() {
    return frame(body({{10, "18"}, {21, "20240102030406"}}));
}

inline std::string loginBody(std::string_view user, std::string_view password) {
    return body({{10, "32"},
                 {23, std::string(user)},
                 {18, std::string(password)},
                 {20, "0"},
                 {19, "1"},
                 {563, "Tradeclient"},
                 {114, "0.1.0"},
                 {105, "127.0.0.1"},
                 {1018, "host#Debian 12"},
                 {504, "Test User"},
                 {160, "AMP"},
                 {21, "20240102030405"}});
}

} // namespace peer
