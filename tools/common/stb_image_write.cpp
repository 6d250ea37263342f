// stb_image_write's implementation, for targets that have its header but no
// library (cross builds); the build machine links Debian's libstb instead.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
