#include "shell/ChangeDialogStorage.h"

namespace korvalis::shell {

void SetUpChangeDialogStorage(TFormStorage& storage) {
  storage.SetIniFileName("Software\\Windows Brenmoor");
  storage.SetIniSection("Korvalis");
  storage.SetUseRegistry(true);
  TStoredValue& showOnlineInfo = storage.StoredValues().Add("ShowOnlineInfo");
  showOnlineInfo.SetValue(false);
  showOnlineInfo.SetKeyString(kChangeDialogKeyString);
}

}  // namespace korvalis::shell
