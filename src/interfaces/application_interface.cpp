#include "interfaces/application_interface.h"

#include "model/text/language_string.h"
#include "wire/login_inputdata.h"

namespace interfaces {

InAppNotification makeCommonBanner(std::string_view applicationName, std::string_view message,
                                   std::string_view title) {
    InAppNotification n;
    n.title = std::string(applicationName);
    n.subtitle = std::string(title);
    n.informativeText = std::string(message);
    n.hasActionButton = false;
    n.feature.dismissDelayTime = 5.0;
    n.feature.lineBreakMode = 0;
    n.soundName = std::string(kInAppNotificationDefaultSound);
    return n;
}

ProductInfo productInfo() {
    tc::LoginInputData login;
    ProductInfo info;
    info.productName = login.productName().value_or("");
    info.productVersion = login.productVersion().value_or("");
    info.liveModeAvailable = login.isLiveModeAvailable();
    info.liveAccountRegistrationURL = login.liveAccountRegistrationURL().value_or("");
    login.loadLiveSettings();
    info.liveServer = {login.IPAddress().value_or(""), login.PortNo()};
    login.loadDemoSettings();
    info.simulationServer = {login.IPAddress().value_or(""), login.PortNo()};
    info.productKey = login.configuredSecurityKey().value_or("");
    info.depositAmountListType = login.depositAmountListType().value_or("");
    return info;
}

void installProductTexts() {
    tc::LanguageString::setProductLocalizationList(*tc::LoginInputData().productLocalizationList());
}

} // namespace interfaces
