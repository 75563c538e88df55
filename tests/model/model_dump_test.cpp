#include "model/model_dump.h"

#include "support/decimal_literal.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/session_model.h"

#include <gtest/gtest.h>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

std::shared_ptr<ItemType> type(std::int32_t id, std::string name) {
    auto t = std::make_shared<ItemType>();
    t->InstrumentTypeId = id;
    t->InstrumentTypeName = std::move(name);
    return t;
}

TEST(ModelDump, OrderEscapingAndLinks) {
    SessionModel m;
    m.fileItemType(type(2, "Metals"));
    m.fileItemType(type(1, "Say \"hi\"\x05\\"));

    const std::string inserted = dumpSessionModel(m);
    const std::string sorted = dumpSessionModel(m, DumpOrder::SortedByKey);
    EXPECT_NE(
        inserted.find(
            "ItemTypeCollection[1] InstrumentTypeId=1 InstrumentTypeName=\"Say \\\"hi\\\"\\x05\\\\\"\n"),
        std::string::npos);
    EXPECT_LT(inserted.find("ItemTypeCollection[2]"), inserted.find("ItemTypeCollection[1]"));
    EXPECT_LT(sorted.find("ItemTypeCollection[1]"), sorted.find("ItemTypeCollection[2]"));

    // Links print as the key they point to; a missing user and a null entry are named.
    auto eur = std::make_shared<ItemDetails>();
    eur->Code = "EURUSD";
    eur->CalculationItems = eur;
    eur->TickSize = 0.1_cdec;
    m.ItemCollection.insert_or_assign("EURUSD", eur);
    m.AccountDetailCollection.insert_or_assign("7", nullptr);
    const std::string text = dumpSessionModel(m);
    EXPECT_NE(text.find("userInfo none\n"), std::string::npos);
    EXPECT_NE(text.find(" CalculationItems=\"EURUSD\"\n"), std::string::npos);
    EXPECT_NE(text.find(" TickSize=0.1 "), std::string::npos);
    EXPECT_NE(text.find("AccountDetailCollection[7] null\n"), std::string::npos);

    // Any field change shows.
    eur->previousAsk = 1e-100_cdec;
    EXPECT_NE(dumpSessionModel(m), text);
}

} // namespace
