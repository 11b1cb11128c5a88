// Icons as the toolkit backends know them: by resource id, with the images
// in the program's resource tables. (Windows loads them from the .exe.)
#include "platform/desktop/dialog.h"
#include "platform/desktop/dialog_template.h"

HICON AfxLoadIcon(int id) { return FindIconImages(id).empty() ? 0 : id; }

int GetSystemMetrics(int index) {
  return index == SM_CXICON || index == SM_CYICON ? kIconSize : 0;
}
