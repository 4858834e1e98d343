// The show's user-facing failure messages. Every box is OK-only with no owner
// window; the text also goes to stderr as "caption: text".
#pragma once

inline constexpr const char* kBadKindOfError = "Bad kind of error, error.";
inline constexpr const char* kSoundError = "Sound error.";
inline constexpr const char* kFramebufferError = "Framebuffer error.";
inline constexpr const char* kOpenGlExtensionsError = "OpenGL Extensions error.";
inline constexpr const char* kCouldNotOpen = "Could not open";
inline constexpr const char* kFileError = "File error.";
inline constexpr const char* kFormatError = "Format error.";
inline constexpr const char* kProgramErrorCaption = "Program Error";
inline constexpr const char* kOutOfMemory = "Out of memory.";

// caption null: the platform's default caption.
void ShowMessage(const char* caption, const char* text);
