#include "services/messages.h"
#include "services/run_log.h"

static MessageHook messageHook = nullptr;

void SetMessageHook(MessageHook hook) { messageHook = hook; }

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    int answer = messageHook ? messageHook(owner, text, caption, style)
                             : MessageBoxA(owner, text, caption, style);
    LogMessage(caption, answer);
    return answer;
}
