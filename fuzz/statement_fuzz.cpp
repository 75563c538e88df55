// The account statement reply: any bytes must parse without a fault into a statement that keeps
// its promises (ordered lists, both snapshots or neither) and whose figures can be worked out.
#include "fuzz_support.h"
#include "statements/statement_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto s = tc::statements::parseAccountStatement(input);
    if (!s.StartInfo != !s.EndInfo)
        std::abort();
    for (const auto& p : s.OpenPositionInfo)
        if (p.OpenPositionId.empty())
            std::abort();
    const auto pie = s.getSettledPLForItems();
    if (pie.titles.size() != pie.values.size())
        std::abort();
    (void)((s.getDeposit() + s.getSettledPL()).toDouble() + s.getOpenQuantity() +
           s.getOpendPLForItems().values.size());
    return 0;
}
