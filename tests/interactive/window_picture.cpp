#include "window_picture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace e2e {

namespace {

// A window that goes while it is read is a BadWindow or BadMatch: an empty picture, not the
// end of the test program that Xlib's own handler would make it.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
  return mask == 0 ? 0 : static_cast<std::uint8_t>((pixel & mask) >> __builtin_ctzl(mask));
}

}  // namespace

gfx::Image WindowPicture(const std::string& window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return {};
  const auto previous = XSetErrorHandler(IgnoreError);
  const ::Window id = std::strtoul(window.c_str(), nullptr, 10);
  gfx::Image picture;
  XWindowAttributes attributes;
  if (id != 0 && XGetWindowAttributes(display, id, &attributes) && attributes.map_state == IsViewable) {
    if (XImage* image =
            XGetImage(display, id, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap)) {
      picture.width = image->width;
      picture.height = image->height;
      picture.rgba.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
      std::uint8_t* out = picture.rgba.data();
      for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x, out += 4) {
          const unsigned long pixel = XGetPixel(image, x, y);
          out[0] = Channel(pixel, image->red_mask);
          out[1] = Channel(pixel, image->green_mask);
          out[2] = Channel(pixel, image->blue_mask);
          out[3] = 255;
        }
      XDestroyImage(image);
    }
  }
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return picture;
}

}  // namespace e2e
