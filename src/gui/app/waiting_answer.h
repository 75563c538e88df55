#pragma once
// The line under a request that waits for the server's answer, the same in every sheet and form:
// sent and waiting, or, while the server does not answer its pings, that it is not answering, the
// request still waits and nothing is sent again meanwhile. A silence is no loss: the request's own
// time limit runs on.
#include "gui/texts.h"

namespace tc::gui {

inline const char* waitingAnswerKey(bool answering) {
    return answering ? texts::kSheetWaitingForAnswer : texts::kSheetServerNotAnswering;
}

} // namespace tc::gui
