#pragma once
// A canonical text of a whole session model for tests: one line per record with every field,
// in a fixed field order, so two models load the same exactly when their dumps are equal.
//
// Numbers print in their shortest round-trip form, texts quoted with control characters and
// backslashes escaped, links (an instrument's calculation instrument, an account's currency) as
// the key they point to. Collections print either in their own insertion order or sorted by key:
// the second is what compares snapshots that arrive in different record orders.
#include <string>

namespace tc {

struct SessionModel;

enum class DumpOrder { Insertion, SortedByKey };

std::string dumpSessionModel(const SessionModel& model, DumpOrder order = DumpOrder::Insertion);

} // namespace tc
