#include "app/messages.h"

static MessageHook messageHook = nullptr;

void SetMessageHook(MessageHook hook) { messageHook = hook; }

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    if (messageHook) return messageHook(owner, text, caption, style);
    return MessageBoxA(owner, text, caption, style);
}
