#pragma once
// What the benchmarks share: an application shell that does nothing.
#include "interfaces/application_interface.h"
#include "wire/login_inputdata.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tc::bench {

class QuietApplication final : public interfaces::ApplicationInterface {
public:
    // The sign-in data the benchmarks hand their sessions.
    LoginInputData& loginData() { return loginData_; }
    std::int64_t selectedLanguage() const override { return 0; }
    bool loginSuccess() const override { return false; }
    bool showConfirmationAlert() const override { return false; }
    std::string applicationName() const override { return "TradeClient"; }
    void onConnectionLost(const std::vector<std::string>&) override {}
    void onSignedInElsewhere(const std::string&) override {}
    void onLoginRefused(const interfaces::LoginMessageAlert&) override {}
    void showMessageAlert(const std::string&, const std::string&) override {}
    void showMessageBanner(const std::string&, const std::string&) override {}
    void showBanner(const interfaces::InAppNotification&) override {}
    void setBannerDelegate(BannerActivation) override {}
    void showSystemNotification(const std::string&, const std::string&) override {}
    void playSound(std::string_view) override {}
    void openAddress(const std::string&) override {}
    void quit() override {}

private:
    LoginInputData loginData_;
};

} // namespace tc::bench
