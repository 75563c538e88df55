#pragma once
// What the benchmarks share: an application shell that does nothing.
#include "connection/login_inputdata.h"
#include "interfaces/application_interface.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tc::bench {

class QuietApplication final : public interfaces::ApplicationInterface {
public:
    LoginInputdata& logindata() override { return logindata_; }
    std::int64_t selectedLanguage() const override { return 0; }
    bool loginSuccess() const override { return false; }
    bool showConfirmationAlert() const override { return false; }
    std::string applicationName() const override { return "TradeClient"; }
    void ConnectionFailureNotification() override {}
    void LogininAnotherLocation(const std::string&) override {}
    void showLoginMessages(const interfaces::LoginMessageAlert&) override {}
    void ShowCommonAlertVieWwithMessage(const std::string&, const std::string&) override {}
    void ShowCommonUserNotificationwithMessage(const std::string&, const std::string&) override {}
    void deliverNotification(const interfaces::InAppNotification&) override {}
    void setBannerDelegate(BannerActivation) override {}
    void showLocalNotificationWithTitle(const std::string&, const std::string&) override {}
    void playSoundNamed(std::string_view) override {}
    void openURL(const std::string&) override {}
    void terminate() override {}

private:
    LoginInputdata logindata_;
};

} // namespace tc::bench
