// Message boxes go through the platform layer.
#include "app/messages.h"

#include "platform/platform.h"

void ShowMessage(const char* caption, const char* text) { PlatformShowMessage(caption, text); }
