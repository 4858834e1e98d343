// Message boxes go through the platform layer.
#include "common/messages.h"

#include "platform/platform.h"

void ShowMessage(const char* caption, const char* text) { PlatformShowMessage(caption, text); }
