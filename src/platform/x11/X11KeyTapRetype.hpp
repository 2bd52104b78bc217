#pragma once

typedef struct _XDisplay Display;

namespace mosaiko {

// Types a press of the user's again through XTEST with the modifiers held for it (Shift, Control,
// Alt, Super, AltGr: the bits of its X event state that keys hold down), each pressed around it
// with the key's own events, so that they apply to it whenever the server gets round to it (a key
// still waiting behind a held one included); lock keys and layout groups, which the user's own keys
// change in the same stream, are left as they are. Returns once the server has it.
void typeKeyAgain(Display* display, unsigned keycode, unsigned state);

}  // namespace mosaiko
