/* PNG, BMP, TGA and JPEG writers for test fixtures (third-party code). */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
