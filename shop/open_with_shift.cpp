#include "shop/open_with_shift.h"

#include "platform/services.h"

namespace deskfind {
namespace {

class HeldShift {
 public:
  HeldShift() { PressShift(); }
  HeldShift(const HeldShift&) = delete;
  HeldShift& operator=(const HeldShift&) = delete;
  ~HeldShift() { ReleaseShift(); }
};

}  // namespace

void OpenWithShiftHeld(HWND owner, std::string_view address) {
  HeldShift shift;
  // A browser that cannot be started goes unnoticed, as with any link.
  ShellOpen(owner, "", address);
}

}  // namespace deskfind
