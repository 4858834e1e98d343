// Placeholder until the streaming music lands: the show runs silent.
#include "audio/music_stream.h"

bool OpenMusicStream() { return true; }
void ResumeMusicStream() {}
