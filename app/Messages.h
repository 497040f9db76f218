// Texts in the active language, and the installer's message boxes.
#pragma once

#include "Platform.h"

// Room for one message text, terminator included.
constexpr int kMessageCapacity = 256;

// Loads string id (an even id) in the active language: the English text
// sits at id | 1, the Japanese one at id, and an id without an English
// partner serves both. Returns LoadStringA's count, 0 when nothing was found.
int LoadLocalizedString(int id, char* buffer, int capacity);

// Modal box without owner, caption "CAUTION!", information icon. Returns -1.
int ShowMessage(const char* text);

// Shows the message of an extraction result code 1..9; any other code
// shows the message of code 9, internal error. Returns -1.
int ShowResultMessage(int code);
