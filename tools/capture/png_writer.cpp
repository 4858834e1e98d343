// The one translation unit that compiles stb_image_write, for PNG output.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
