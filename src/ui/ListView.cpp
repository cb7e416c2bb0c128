#include "ui/ListView.h"

#include "ui/CommonControls.h"
#include "ui/Form.h"

namespace korvalis::ui {

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1), kChecked = INDEXTOSTATEIMAGEMASK(2);

// Windows registers the list class only when asked; the program may not have asked for it.
void RegisterListClass() { UseCommonControls(ICC_LISTVIEW_CLASSES); }

// Both lists take their columns so: the width in screen pixels, the next index.
void InsertColumn(HWND list, int width, const std::string& title, int index) {
  std::string text = title;
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  column.cx = width;
  column.iSubItem = index;
  SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

TListView::TListView(TForm& form, std::string name, TBounds bounds) : TWinControl(form, std::move(name), bounds) {
  RegisterListClass();
  // Sorting stays off: row n answers for the caller's n-th item.
  CreateHandle(WC_LISTVIEWA, "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
               WS_EX_CLIENTEDGE);
  const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
}

void TListView::AddColumn(const std::string& title, int width) {
  InsertColumn(Handle(), form_.ScaleX(width), title, columns_++);
}

void TListView::SetSmallImages(HIMAGELIST images) {
  SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

int TListView::AddRow(const std::vector<std::string>& texts, int image) {
  std::vector<std::string> cells = texts;
  cells.resize(static_cast<std::size_t>(columns_ > 0 ? columns_ : 1));
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
  item.iItem = RowCount();
  item.pszText = cells[0].data();
  item.iImage = image;
  item.state = kUnchecked;
  item.stateMask = LVIS_STATEIMAGEMASK;
  const int row = static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return row;
  for (int column = 1; column < columns_; ++column) SetText(row, column, cells[static_cast<std::size_t>(column)]);
  return row;
}

void TListView::SetText(int row, int column, const std::string& text) {
  std::string copy = text;
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = copy.data();
  SendMessageA(Handle(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
}

void TListView::SetRowImage(int row, int image) {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = image;
  SendMessageA(Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TListView::Clear() { SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0); }

int TListView::RowCount() const { return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0)); }

std::string TListView::Text(int row, int column) const {
  // A command line can be as long as a registry value holds.
  std::vector<char> buffer(32768, '\0');
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = buffer.data();
  cell.cchTextMax = static_cast<int>(buffer.size());
  SendMessageA(Handle(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
  return std::string(buffer.data());
}

bool TListView::Checked(int row) const {
  const auto state = static_cast<UINT>(SendMessageA(Handle(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == kChecked;
}

LRESULT TListView::Notify(const NMHDR& header) {
  if (header.code != LVN_ITEMCHANGED || !OnSelect) return 0;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  const bool nowSelected = (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED);
  if ((change.uChanged & LVIF_STATE) && nowSelected && change.iItem >= 0) OnSelect(change.iItem);
  return 0;
}

}  // namespace korvalis::ui

namespace korvalis::ui {

TVirtualListView::TVirtualListView(TForm& form, std::string name, TBounds bounds)
    : TWinControl(form, std::move(name), bounds) {
  RegisterListClass();
  CreateHandle(WC_LISTVIEWA, "", WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
               WS_EX_CLIENTEDGE);
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void TVirtualListView::AddColumn(const std::string& title, int width) {
  InsertColumn(Handle(), form_.ScaleX(width), title, columns_++);
}

void TVirtualListView::SetSmallImages(HIMAGELIST images) {
  SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

void TVirtualListView::SetRowCount(int rows) {
  LVITEMA none{};
  none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  SendMessageA(Handle(), LVM_SETITEMCOUNT, rows, 0);
  Redraw();
}

int TVirtualListView::RowCount() const { return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0)); }

void TVirtualListView::Redraw() { InvalidateRect(Handle(), nullptr, FALSE); }

std::vector<int> TVirtualListView::SelectedRows() const {
  std::vector<int> rows;
  for (int row = -1;;) {
    row = static_cast<int>(SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
    if (row < 0) return rows;
    rows.push_back(row);
  }
}

LRESULT TVirtualListView::Notify(const NMHDR& header) {
  if (header.code == LVN_GETDISPINFOA) {
    auto& item = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
      const std::string cell = CellText ? CellText(item.iItem, item.iSubItem) : std::string();
      lstrcpynA(item.pszText, cell.c_str(), item.cchTextMax);
    }
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = RowImage ? RowImage(item.iItem) : I_IMAGENONE;
    return 0;
  }
  const bool selection = header.code == LVN_ODSTATECHANGED ||
                         (header.code == LVN_ITEMCHANGED &&
                          (reinterpret_cast<const NMLISTVIEW&>(header).uChanged & LVIF_STATE));
  if (selection && OnSelectionChange) OnSelectionChange();
  return 0;
}

}  // namespace korvalis::ui
