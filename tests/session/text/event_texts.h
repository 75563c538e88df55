#pragma once
// A resource bundle of our own for the event and journal tests: an English table whose texts differ
// from the shipped ones, so expected lines follow from this file alone.
#include "platform/bundle.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tc {

class EventTextsBundle {
public:
    EventTextsBundle() {
        root_ = std::filesystem::temp_directory_path() / ("event_texts_" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_ / "en.lproj");
        std::ofstream(root_ / "en.lproj" / "Localizable.txt") << kTable;
        platform::Bundle::setResourcesRoot(root_);
    }
    ~EventTextsBundle() {
        platform::Bundle::setResourcesRoot({});
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    EventTextsBundle(const EventTextsBundle&) = delete;
    EventTextsBundle& operator=(const EventTextsBundle&) = delete;

    static constexpr const char* kTable = "0012\tAcct\n"
                                          "0019\tExec\n"
                                          "0070\tPO\n"
                                          "0071\tQty\n"
                                          "0072\tOrd\n"
                                          "0073\tNew\n"
                                          "0074\tReq\n"
                                          "0075\tPos\n"
                                          "0099\tNotices\n"
                                          "0307\tConfirm\n"
                                          "0314\tDemo failed\n"
                                          "0538\tRej\n"
                                          "0590\tAmt\n"
                                          "0622\tRem\n"
                                          "0624\tBank\n"
                                          "0714\tMode\n"
                                          "0715\tTxDate\n"
                                          "0716\tBranch\n"
                                          "0717\tSrc\n"
                                          "0718\tDst\n"
                                          "0725\tReqNo\n"
                                          "0726\tReqOn\n"
                                          "0728\tWhy:\n"
                                          "1018\tCancelled\n"
                                          "1019\tPending\n"
                                          "1020\tSettled\n"
                                          "1073\tNew notice\n"
                                          "10980\tSettlement\n"
                                          "11006\tRejected order\n"
                                          "1181\tDep approved\n"
                                          "1182\tWd approved\n"
                                          "1183\tDep done\n"
                                          "1184\tWd done\n"
                                          "20203\tConnected {0}:{1} as {2}\n"
                                          "20204\tSnapshot {0}:{1} for {2}\n"
                                          "20205\tLogged in {0}:{1} as {2}\n"
                                          "20217\tMargin call\n"
                                          "20218\tBought {0} {1}\n"
                                          "20219\tSold {0} {1}\n"
                                          "20234\t{0} new notices\n"
                                          "20240\tChat\n"
                                          "20252\tUpdate{0}now\n"
                                          "20300\tPay failed\n"
                                          "20303\tPayment {0} done\n";

private:
    std::filesystem::path root_;
};

} // namespace tc
