#pragma once

namespace kv::messages {

// Shows the operator's messages as message boxes, caption "Kelvora": information with one OK
// button, the standard error box with the critical icon, and "Evet"/"Hayır" questions with
// "Hayır" as the default.
void useMessageBoxes();

} // namespace kv::messages
