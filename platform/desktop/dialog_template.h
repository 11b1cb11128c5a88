// Dialog templates and icons as data: what a dialog looks like, kept apart
// from the code that makes windows of it, so that every backend builds the
// same dialog from the same numbers.
#ifndef VELTRANE_PLATFORM_DESKTOP_DIALOG_TEMPLATE_H_
#define VELTRANE_PLATFORM_DESKTOP_DIALOG_TEMPLATE_H_

#include <cstddef>
#include <span>

// Control and dialog styles, with the numbers the templates were written
// with (on Windows, the system's own names); a backend honours the ones it
// can express.
#ifdef _WIN32
#include "platform/win32/windows_names.h"
#else
constexpr unsigned BS_PUSHBUTTON = 0x0;
constexpr unsigned BS_DEFPUSHBUTTON = 0x1;
constexpr unsigned SS_CENTER = 0x1;
constexpr unsigned WS_TABSTOP = 0x00010000;
constexpr unsigned DS_MODALFRAME = 0x80;
constexpr unsigned WS_POPUP = 0x80000000;
constexpr unsigned WS_VISIBLE = 0x10000000;
constexpr unsigned WS_CAPTION = 0x00C00000;
constexpr unsigned WS_SYSMENU = 0x00080000;
constexpr unsigned WS_EX_APPWINDOW = 0x00040000;
#endif

enum class ControlKind { pushButton, staticText };

// One control; position and size are in dialog units.
struct CControlTemplate {
  int id;
  ControlKind kind;
  const char* text;
  unsigned style;
  int x, y, cx, cy;
};

// One dialog; size in dialog units, controls in tab order.
struct CDialogTemplate {
  int id;
  const char* caption;
  unsigned style;
  unsigned exStyle;
  const char* fontFace;
  int fontPoints;
  int cx, cy;
  std::span<const CControlTemplate> controls;
};

// One image of an icon resource: a PNG of size x size pixels.
struct CIconImage {
  int size;
  const unsigned char* png;
  std::size_t pngSize;
};

// The resource tables; defined by the program's resources (res/).
// Return nullptr / an empty span for an id that does not exist.
const CDialogTemplate* FindDialogTemplate(int id);
std::span<const CIconImage> FindIconImages(int id);

#endif  // VELTRANE_PLATFORM_DESKTOP_DIALOG_TEMPLATE_H_
