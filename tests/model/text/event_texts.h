#pragma once
// A resource bundle of our own for the event and journal tests: an English table whose texts differ
// from the shipped ones (tests/fixtures/event_texts.txt), so expected lines follow from that file alone.
#include "support/temp_resources.h"
#include "support/wire_text.h"

namespace tc {

class EventTextsBundle : public testing_support::ScopedResources {
public:
    EventTextsBundle() : ScopedResources(testing_support::fixtureText("event_texts.txt")) {}
};

} // namespace tc
