#pragma once
// A report list of rows with check boxes and small icons. It is one window however many rows
// it holds, so a question about hundreds of entries opens and scrolls as quickly as one about
// four.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace korvalis::ui {

class TListView : public TWinControl {
 public:
  TListView(TForm& form, std::string name, TBounds bounds);

  // The width is in design pixels.
  void AddColumn(const std::string& title, int width);
  // Shared: the list never destroys it, so the shell's system image list can be shown.
  void SetSmallImages(HIMAGELIST images);
  // One text per column, unchecked; returns the new row's index.
  int AddRow(const std::vector<std::string>& texts, int image);
  void SetRowImage(int row, int image);
  void SetText(int row, int column, const std::string& text);
  void Clear();
  int RowCount() const;
  std::string Text(int row, int column) const;
  bool Checked(int row) const;

  // A row became the selected one.
  std::function<void(int row)> OnSelect;
  LRESULT Notify(const NMHDR& header) override;

 private:
  int columns_ = 0;
};

// A report list that holds no rows of its own: it asks for the texts of the rows it draws, so
// thousands of rows are shown as soon as their count is set, and shown anew by a redraw.
class TVirtualListView : public TWinControl {
 public:
  TVirtualListView(TForm& form, std::string name, TBounds bounds);

  void AddColumn(const std::string& title, int width);
  // Shared: the list never destroys it.
  void SetSmallImages(HIMAGELIST images);
  // The selection is dropped: row n may now stand for another item.
  void SetRowCount(int rows);
  int RowCount() const;
  void Redraw();
  std::vector<int> SelectedRows() const;

  std::function<std::string(int row, int column)> CellText;
  std::function<int(int row)> RowImage;  // I_IMAGENONE for none
  std::function<void()> OnSelectionChange;
  LRESULT Notify(const NMHDR& header) override;

 private:
  int columns_ = 0;
};

}  // namespace korvalis::ui
