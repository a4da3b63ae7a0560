// What a host on Linux needs beside quill/host.h to run the plug-in's capture.
//
// The plug-in's keyboard hook runs on the host's UI thread, inside that thread's message
// retrieval, as on the system it was made for. A host on Linux therefore puts its keys through
// the keyboard bridge (TKeyboardBridge: a toolkit's or an input device's key events in, what the
// application is meant to get out) and lets the bridge dispatch the thread's messages and timers;
// its event sink answers GetHookThreadId with user::GetCurrentThreadId() of that thread. Texts
// cross the interfaces as UTF-16 (BSTR); kernel::WideToUtf8 turns them into UTF-8 for printing.
//
// Everything here lives in libquillrt; the contracts (threads, ownership, errors) are in the
// headers included below.
#pragma once

#include "platform/kernel/codepage.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/message_queue.h"
#include "quill/host.h"
