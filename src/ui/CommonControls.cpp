#include "ui/CommonControls.h"

#include <memory>
#include <type_traits>

namespace korvalis::ui {

namespace {
struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

HMODULE Library() {
  // Loaded under the program's own activation context, so its manifest picks version 6.
  static const UniqueModule library(LoadLibraryW(L"comctl32.dll"));
  return library.get();
}

template <typename Function>
Function Find(const char* name) {
  HMODULE library = Library();
  return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}
}  // namespace

bool UseCommonControls(DWORD classes) {
  using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const Init init = Find<Init>("InitCommonControlsEx");
  static DWORD registered = 0;
  classes |= ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
  if (!init) return false;
  if ((registered & classes) == classes) return true;
  const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
  if (!init(&controls)) return false;
  registered |= classes;
  return true;
}

HICON ImageListIcon(HIMAGELIST list, int index, UINT flags) {
  using GetIcon = HICON(WINAPI*)(HIMAGELIST, int, UINT);
  static const GetIcon get = Find<GetIcon>("ImageList_GetIcon");
  return get && list ? get(list, index, flags) : nullptr;
}

}  // namespace korvalis::ui
