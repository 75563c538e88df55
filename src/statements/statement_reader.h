#pragma once
// The XML reply of "getdsaccountstatement" read into an AccountStatementInfo.
//
// A reply is parsed into a fresh AccountStatementInfo on the thread that received it; the caller
// installs it whole where the windows read (nothing is refilled in place, so no reader ever sees a
// statement half old, half new). Rows are read in document order.
#include "model/account_statement.h"

#include <string_view>

namespace tc {
struct XmlSnapshotTables;
} // namespace tc

namespace tc::statements {

// The statement of one reply. A reply that is not XML, or holds no table, gives an empty statement,
// which replaces the previous one like any other.
AccountStatementInfo parseAccountStatement(std::string_view xml);
AccountStatementInfo parseAccountStatement(const XmlSnapshotTables& tables);

} // namespace tc::statements
