#include "session/account_details.h"

#include <array>

namespace {

template <std::size_t N>
std::string_view lookup(const std::array<std::string_view, N>& table, std::int64_t code) {
    if (code < 0 || static_cast<std::uint64_t>(code) >= N)
        return "";
    return table[static_cast<std::size_t>(code)];
}

} // namespace

std::string_view AccountDetails::getAccountStatus(std::int32_t code) {
    static constexpr std::array<std::string_view, 7> kStatus = {
        "", "Normal", "View Only", "Suspended", "Close Position Only", "Equity Hit", "Closed"};
    return lookup(kStatus, code);
}

std::string_view AccountDetails::getAccountType(std::int64_t code) {
    static constexpr std::array<std::string_view, 14> kTypes = {
        "Unknown", "Trade Client", "Clearing Member", "Market Maker",       "Introducing Broker",
        "Dealer",  "Chief Dealer", "Super Dealer",    "NonClearing Member", "Clearing House",
        "Admin",   "Agent",        "NonTrading",      "Error Account"};
    return lookup(kTypes, code);
}

std::string_view AccountDetails::getAccountAccessType(std::int32_t code) {
    static constexpr std::array<std::string_view, 11> kAccess = {
        "Unknown", "Trade", "Close Only", "View Trade", "View Market", "", "", "", "", "", "None"};
    return lookup(kAccess, code);
}
